// SPDX-License-Identifier: MIT
#include "support/ModelTest.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

const QString kFormat = "The data couldn’t be read because it isn’t in the correct format.";

// The installer against a loopback platform serving archives the test builds with tar; the two
// pairing steps with a real node script, cancelling one; the primary action's rows. Before each
// case a broken runtime holding a relay token sits at the standard root.
class TestInstallAndPairing : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    std::optional<LoopbackServer> m_server;
    std::optional<TestRuntime> m_runtime; // where the pairing script runs

    QString at(const char* name) const { return m_home.path() + '/' + name; }
    // Standard output of a bash script run in src/, with $1 = src and $2 = outside.
    QByteArray bash(const QString& script) const {
        QProcess bash;
        bash.setWorkingDirectory(at("src"));
        bash.start("/bin/bash", {"-ec", script, "bash", at("src"), at("outside")});
        bash.waitForFinished(10000);
        return bash.readAllStandardOutput();
    }
    // Every path below the folder with its link target, and every file's digest.
    QByteArray print(const QString& folder) const {
        return bash("cd '" + folder +
                    "'; find . -printf '%p %l\\n' | sort; find . -type f -exec sha256sum {} +");
    }
    QStringList leftovers() const { // staging folders, temporary archives
        return QDir(standardInstallRoot()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) +
               QDir(at("tmp")).entryList(QDir::Files);
    }
    QCoro::Task<> install(Model& model) {
        co_await model.installer().installStandardRuntime();
        co_await model.refresher().cancelRefreshLoop(); // every coroutine ends before the model
    }
    // The pairing script records its arguments in scripts/args.json, then runs `then`.
    void setScript(const QByteArray& then) {
        m_runtime->setScript(
            RuntimeLayout::pairingScript,
            "import fs from 'node:fs'; import cp from 'node:child_process';\n"
            "const out = (name, text) => fs.writeFileSync(new URL(name, import.meta.url), text);\n"
            "out('args.json', JSON.stringify(process.argv.slice(2)));\n" +
                then);
    }
    QByteArray read(const char* name) const { return readFile(m_runtime->root() + "/scripts/" + name); }
    std::unique_ptr<Model> makeModel(bool withRuntime = true) {
        auto model = std::make_unique<Model>(makeTestServices());
        if (withRuntime)
            model->location().updateRuntimeRoot(m_runtime->root(), std::nullopt);
        return model;
    }

private slots:
    void init() {
        m_home.empty();
        m_server.emplace();
        QDir().mkpath(at("outside"));
        QDir().mkpath(at("tmp"));
        qputenv("TMPDIR", at("tmp").toUtf8());
        qputenv("SKERRIN_MANIFEST_URL", m_server->url("/manifest").toUtf8());
        qputenv("SKERRIN_CHATGPT_URL", m_server->url("/chat").toUtf8());
        TestRuntime(at("src/brevant-runtime"));
        writeFile(at("src/extra.txt"), "beside");
        TestRuntime broken(standardRuntimeRoot());
        broken.setEnv("RELAY_TOKEN=keep-me\n");
        QFile::remove(runtimePath(broken.root(), RuntimeLayout::connectorProgram));
        m_runtime.emplace(m_home.path() + "/rt 'q' \"d\" $HOME ü 漢");
    }
    void install_data() {
        QTest::addColumn<QString>("manifest"); // URL: the archive's address; DIGEST, digest: its digest
        QTest::addColumn<QString>("archive");  // the script that makes archive.tar.gz
        QTest::addColumn<QString>("message");  // how the message starts; empty: installed
        const auto row = [](const char* name, QString manifest, QString archive, QString message) {
            QTest::newRow(name) << manifest << archive << message;
        };
        const QString good = R"({"tarball_url":"URL","sha256_tar_gz":"DIGEST","size":1})";
        const QString runtime = "tar -czf archive.tar.gz brevant-runtime extra.txt";
        row("upper-case digest", good, runtime, "");
        row("null digest", R"({"tarball_url":"URL","sha256_tar_gz":null})", runtime, "");
        row("digest with a line break", R"({"tarball_url":"URL","sha256_tar_gz":"digest\n"})", runtime,
            "Runtime checksum mismatch.");
        row("HTML error page", "<html>500</html>", runtime, kFormat);
        row("no tarball_url", R"({"sha256_tar_gz":"d"})", runtime,
            "The data couldn’t be read because it is missing.");
        row("tarball_url a number", R"({"tarball_url":7})", runtime, kFormat);
        row("tarball_url not a URL", R"({"tarball_url":"not a url"})", runtime,
            "Runtime manifest did not include a valid tarball URL.");
        row("10 MB manifest", QString(10 << 20, ' '), runtime, "The response is too large.");
        row("not gzip", good, "echo plain > archive.tar.gz", "gzip: stdin: not in gzip format");
        row("another top folder", good,
            "tar -czf archive.tar.gz --transform s,^brevant-runtime,other, brevant-runtime",
            "Runtime extracted, but the folder layout is invalid.");
        // Through a symlink to $2, an absolute name under $2, and a name climbing out with "..".
        row("escaping members", good,
            "mkdir -p trav/brevant-runtime a/b; ln -s \"$2\" trav/brevant-runtime/link; echo > evil1;"
            "echo > evil2; echo > evil3; tar -czPf archive.tar.gz --transform "
            "\"s,^evil1$,brevant-runtime/link/evil1,\""
            " --transform \"s,^/.*/evil3$,$2/abs,\" brevant-runtime -C trav brevant-runtime/link"
            " -C \"$1\" evil1 \"$1/evil3\" -C a/b ../../evil2 || true",
            "/usr/bin/tar: ");
        row("silent server", good, "", "The request timed out.");
    }
    void install() {
        QFETCH(QString, manifest);
        QFETCH(QString, archive);
        QFETCH(QString, message);
        const QByteArray bytes = archive.isEmpty() ? QByteArray() : bash(archive + "; cat archive.tar.gz");
        const QString digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        manifest.replace("URL", m_server->url("/rt"))
            .replace("DIGEST", digest.toUpper())
            .replace("digest", digest);
        m_server->setResponse("/manifest",
                              {.status = manifest.startsWith('<') ? 500 : 200, .body = manifest.toUtf8()});
        m_server->setResponse("/rt", {.body = bytes, .delay = archive.isEmpty() ? 5s : 0ms});
        const QString standard = standardRuntimeRoot();
        const QByteArray before = print(standard);
        // Only the silent server should meet the idle limit, however loaded the machine.
        Model model(makeTestServices(), ModelOptions{30s, 60s, archive.isEmpty() ? 300ms : 10s});
        QCoro::waitFor(install(model));
        QVERIFY(!model.actions().isBusy() && !model.actions().canCancelCurrentAction() &&
                !model.installer().downloadProgress());
        const QString shown = model.actions().transientMessage().value_or("");
        QCOMPARE(model.actions().latestActionOutput(),
                 message.isEmpty() ? "Runtime installed to " + standard : shown);
        QVERIFY2(message.isEmpty() ? shown == "Desktop runtime installed."
                                   : shown.trimmed().startsWith(message),
                 qPrintable(shown));
        QCOMPARE(model.location().runtimeRoot(), message.isEmpty() ? standard : "");
        QCOMPARE(print(at("outside")), ". \n"); // nothing written outside the install root
        QVERIFY(!QFile::exists(at("evil2")) && !QFile::exists(at(".brevant/evil2")));
        if (message.isEmpty())
            QCOMPARE(leftovers(), QStringList({"brevant-runtime", "extra.txt"}));
        else // the broken runtime, its token included, is exactly as it was
            QCOMPARE(print(standard), before);
        QVERIFY(leftovers().filter("staging").isEmpty());
    }
    void alreadyInstalled() {
        TestRuntime standard(standardRuntimeRoot());
        Model model(makeTestServices());
        model.location().updateRuntimeRoot(TestRuntime(at("other")).root(), std::nullopt);
        QCoro::waitFor(install(model));
        QCOMPARE(actionShown(model), "Standard runtime is already installed.|No setup action run yet.");
        QCOMPARE(makeSettingsStore()->string(SettingsKey::runtimeRoot), standard.root());
        QVERIFY(m_server->requests().filter("manifest").isEmpty());
    }
    void progressThenCancel() {
        m_server->setResponse("/manifest",
                              {.body = "{\"tarball_url\":\"" + m_server->url("/rt").toUtf8() + "\"}"});
        m_server->setResponse("/rt", {.body = QByteArray(4096, 'x'), .trickle = 5ms});
        const QByteArray before = print(standardRuntimeRoot());
        Model model(makeTestServices());
        model.language().setLanguage(AppLanguage::chinese);
        QCoro::Task<> installing = install(model);
        QVERIFY(QTest::qWaitFor(
            [&] { return model.installer().downloadProgress().value_or(TransferProgress{}).received > 2; }));
        model.actions().cancelCurrentAction();
        QCoro::waitFor(installing);
        QCOMPARE(actionShown(model), "操作已取消。|操作已取消。");
        QCOMPARE(print(standardRuntimeRoot()), before);
        QCOMPARE(leftovers(), QStringList({"brevant-runtime"})); // the partial archive is gone
    }
    // Both steps get six arguments and keep the texts of the language they began in; then a start fails.
    void bothStepsThenAStartFails() {
        m_runtime->setEnv("PLATFORM_BASE_URL=  http://base.example/api  \n");
        setScript("console.log('qr written')");
        auto model = makeModel();
        QCoro::waitFor(model->pairing().startPairing());
        QCOMPARE(actionShown(*model), "Pairing QR generated.|qr written");
        QCOMPARE(QJsonDocument::fromJson(read("args.json")).array().toVariantList(),
                 QVariant(QStringList{"--", "--start", "--platform-base-url", "http://base.example/api",
                                      "--env-file", m_runtime->root() + "/config/.env"})
                     .toList());
        setScript("setInterval(() => fs.existsSync(new URL('go', import.meta.url)) && process.exit(0), 20);");
        QCoro::Task<> wait = model->pairing().waitForPairingConfirmation();
        QCOMPARE(actionShown(*model),
                 "Waiting for mobile confirmation...|Waiting for mobile confirmation...");
        model->language().setLanguage(AppLanguage::chinese);
        writeFile(m_runtime->root() + "/scripts/go", "");
        QCoro::waitFor(wait);
        QCOMPARE(actionShown(*model), "Pairing wait finished.|Pairing wait finished.");
        QCOMPARE(QJsonDocument::fromJson(read("args.json")).array().at(1).toString(), "--wait");
        // A failed start still shows the session on disk.
        setScript("console.error('boom'); process.exit(3);");
        m_runtime->setPairingSession(R"({"setup_code":"EARLIER-1"})");
        QCoro::waitFor(model->pairing().startPairing());
        QCOMPARE(actionShown(*model) +
                     model->pairing().pairingSession().value_or(PairingSessionState{}).setupCode,
                 "boom\n|boom\nEARLIER-1");
        finish(*model);
    }
    void cancelEndsTheScriptAndWhatItStarted() {
        // A script that shrugs off SIGTERM and leaves a child in its group.
        setScript("process.on('SIGTERM', () => {}); const c = cp.spawn('sleep', ['300']);\n"
                  "out('pids', process.pid + ' ' + c.pid); setInterval(() => {}, 1000);");
        auto model = makeModel();
        QCoro::Task<> wait = model->pairing().waitForPairingConfirmation();
        QVERIFY(QTest::qWaitFor([&] { return read("pids").contains(' '); }, 10000));
        QVERIFY(model->actions().canCancelCurrentAction());
        const QList<QByteArray> pids = read("pids").split(' ');
        model->actions().cancelCurrentAction();
        QCoro::waitFor(wait); // SIGKILL after 3 s
        QCOMPARE(actionShown(*model), "Action cancelled.|Action cancelled.");
        QVERIFY(!model->actions().isBusy() && !model->actions().canCancelCurrentAction());
        QVERIFY(model->service().statusSummary() != "Not configured"); // the refreshes ran
        QVERIFY(processEnds(pids[0].toLongLong()) && processEnds(pids[1].toLongLong()));
        finish(*model);
    }
    void primaryAction_data() {
        QTest::addColumn<QByteArray>("env");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("message"); // empty: none
        const QByteArray configured = "RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=w\n";
        QTest::newRow("no runtime: install") << QByteArray() << false << kFormat;
        QTest::newRow("not configured: pair") << QByteArray() << false << "Pairing QR generated.";
        QTest::newRow("pending session: pair") << configured << true << "Pairing QR generated.";
        QTest::newRow("stopped: keep online") << configured << false << "Desktop service is online.";
        QTest::newRow("running: refresh only") << configured << true << "";
    }
    void primaryAction() {
        QFETCH(QByteArray, env);
        QFETCH(bool, running);
        m_server->setResponse("/manifest", {.status = 404, .body = "<html>not here</html>"});
        m_runtime->setEnv(env);
        setScript("console.log('qr')");
        if (QTest::currentDataTag() == QByteArray("pending session: pair"))
            m_runtime->setPairingSession(R"({"setup_code":"P-1"})");
        auto model = makeModel(QTest::currentDataTag() != QByteArray("no runtime: install"));
        model->pairing().refreshPairingSession();
        ModelSeed(*model).running(running);
        QCoro::waitFor(model->primary().performPrimaryAction());
        QTEST(model->actions().transientMessage().value_or(""), "message");
        QVERIFY(!model->actions().isBusy());
        finish(*model);
    }
};

QTEST_GUILESS_MAIN(TestInstallAndPairing)
#include "tst_install_and_pairing.moc"
