// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "model/SettingsKeys.h"
#include "support/FakeServices.h"
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using namespace std::chrono_literals;
using Model = ConnectorMenuBarModel;

const QString kFormat = "The data couldn’t be read because it isn’t in the correct format.";

// Every path under `root` with its content or link target: equal prints mean nothing changed.
QByteArray folderPrint(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile file(info.filePath());
        const QByteArray content = info.isSymLink() ? info.symLinkTarget().toUtf8()
                                   : info.isFile() && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                                     : "dir";
        entries << info.filePath() + '=' +
                       QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
    }
    entries.sort();
    return entries.join('\n').toUtf8();
}

// The installer against a loopback platform serving archives the test builds with tar. Before
// each case a broken runtime holding a relay token sits at the standard root.
class TestInstaller : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    std::optional<LoopbackServer> m_server;
    QString m_src, m_outside, m_tmp;

    QByteArray tarGz(const QString& script) {
        QProcess bash;
        bash.setWorkingDirectory(m_src);
        bash.start("/bin/bash", {"-ec", script + " && cat archive.tar.gz", "bash", m_src, m_outside});
        bash.waitForFinished(10000);
        return bash.readAllStandardOutput();
    }
    std::unique_ptr<Model> makeModel() {
        return std::make_unique<Model>(makeTestServices(), ModelOptions{30s, 60s, 300ms});
    }
    static void finish(Model& model) { QCoro::waitFor(model.cancelRefreshLoop()); }
    QStringList leftovers() const { // staging folders, temporary archives
        return QDir(Model::standardInstallRoot())
                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) +
               QDir(m_tmp).entryList(QDir::Files);
    }

private slots:
    void init() {
        m_home.empty();
        m_server.emplace();
        m_src = m_home.path() + "/src", m_outside = m_home.path() + "/outside",
        m_tmp = m_home.path() + "/tmp";
        QDir().mkpath(m_outside);
        QDir().mkpath(m_tmp);
        qputenv("TMPDIR", m_tmp.toUtf8());
        qputenv("SKERRIN_MANIFEST_URL", m_server->url("/manifest.json").toUtf8());
        qputenv("SKERRIN_CHATGPT_URL", m_server->url("/chat").toUtf8());
        TestRuntime(m_src + "/brevant-runtime");
        writeFile(m_src + "/extra.txt", "beside");
        TestRuntime broken(Model::standardRuntimeRoot());
        broken.setEnv("RELAY_TOKEN=keep-me\n");
        QFile::remove(runtimePath(broken.root(), RuntimeLayout::connectorProgram));
    }
    void install_data() {
        QTest::addColumn<QByteArray>("manifest"); // URL: the archive's address; DIGEST, digest: its digest
        QTest::addColumn<QString>("archive");     // how the archive is made
        QTest::addColumn<QString>("message");     // how the message starts; empty: installed
        const QString runtime = "tar -czf archive.tar.gz brevant-runtime extra.txt";
        const QByteArray good = R"({"tarball_url":"URL","sha256_tar_gz":"DIGEST","size":1})";
        QTest::newRow("upper-case digest") << good << runtime << "";
        QTest::newRow("null digest") << QByteArray(R"({"tarball_url":"URL","sha256_tar_gz":null})") << runtime
                                     << "";
        QTest::newRow("digest with a line break")
            << QByteArray(R"({"tarball_url":"URL","sha256_tar_gz":"digest\n"})") << runtime
            << "Runtime checksum mismatch.";
        QTest::newRow("HTML error page") << QByteArray("<html>500</html>") << runtime << kFormat;
        QTest::newRow("no tarball_url") << QByteArray(R"({"sha256_tar_gz":"sha"})") << runtime
                                        << "The data couldn’t be read because it is missing.";
        QTest::newRow("tarball_url a number") << QByteArray(R"({"tarball_url":7})") << runtime << kFormat;
        QTest::newRow("digest a number")
            << QByteArray(R"({"tarball_url":"URL","sha256_tar_gz":1})") << runtime << kFormat;
        QTest::newRow("tarball_url not a URL") << QByteArray(R"({"tarball_url":"not a url"})") << runtime
                                               << "Runtime manifest did not include a valid tarball URL.";
        QTest::newRow("10 MB manifest")
            << QByteArray(10 << 20, ' ') << runtime << "The response is too large.";
        QTest::newRow("not gzip") << good << "echo plain > archive.tar.gz"
                                  << "gzip: stdin: not in gzip format";
        QTest::newRow("another top folder")
            << good << "tar -czf archive.tar.gz --transform s,^brevant-runtime,other, brevant-runtime"
            << "Runtime extracted, but the folder layout is invalid.";
        // Through a symlink to $2, an absolute name under $2, and a name climbing out with "..".
        QTest::newRow("escaping members")
            << good
            << "mkdir -p trav/brevant-runtime a/b; ln -s \"$2\" trav/brevant-runtime/link;"
               "echo 1 > evil1; echo 2 > evil2; echo 3 > evil3;"
               "tar -czPf archive.tar.gz --transform \"s,^evil1$,brevant-runtime/link/evil1,\""
               " --transform \"s,^/.*/evil3$,$2/abs,\" brevant-runtime -C trav brevant-runtime/link"
               " -C \"$1\" evil1 \"$1/evil3\" -C a/b ../../evil2 || true"
            << "/usr/bin/tar: ";
        QTest::newRow("silent server") << good << "silent"
                                       << "The request timed out.";
    }
    void install() {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, archive);
        QFETCH(QString, message);
        const QByteArray bytes = archive == "silent" ? QByteArray() : tarGz(archive);
        const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        manifest.replace("URL", m_server->url("/rt.tar.gz").toUtf8())
            .replace("DIGEST", digest.toUpper())
            .replace("digest", digest);
        m_server->setResponse("/manifest.json",
                              {.status = manifest.startsWith('<') ? 500 : 200, .body = manifest});
        m_server->setResponse("/rt.tar.gz", {.body = bytes, .delay = archive == "silent" ? 5s : 0ms});
        const QString standard = Model::standardRuntimeRoot();
        const QByteArray before = folderPrint(standard);
        auto model = makeModel();
        QCoro::waitFor(model->installStandardRuntime());
        QVERIFY(!model->isBusy() && !model->canCancelCurrentAction() && !model->downloadProgress());
        const QString shown = model->transientMessage().value_or("");
        QCOMPARE(model->latestActionOutput(), message.isEmpty() ? "Runtime installed to " + standard : shown);
        QVERIFY2(message.isEmpty() ? shown == "Desktop runtime installed."
                                   : shown.trimmed().startsWith(message),
                 qPrintable(shown));
        QCOMPARE(model->runtimeRoot(), message.isEmpty() ? standard : "");
        QCOMPARE(folderPrint(m_outside), QByteArray()); // nothing written outside the install root
        QVERIFY(!QFile::exists(m_home.path() + "/evil2") &&
                !QFile::exists(m_home.path() + "/.brevant/evil2"));
        if (message.isEmpty()) {
            QCOMPARE(QFile(standard + "/config/.env").exists(), false); // replaced by the archive's
            QCOMPARE(leftovers(), QStringList({"brevant-runtime", "extra.txt"}));
        } else { // the broken runtime, its token included, is exactly as it was
            QCOMPARE(folderPrint(standard), before);
            QVERIFY(leftovers().filter("staging").isEmpty());
        }
        finish(*model);
    }
    void alreadyInstalled() {
        TestRuntime standard(Model::standardRuntimeRoot());
        auto model = makeModel();
        const TestRuntime other(m_home.path() + "/other");
        model->updateRuntimeRoot(other.root(), std::nullopt);
        QCoro::waitFor(model->installStandardRuntime());
        QCOMPARE(model->transientMessage().value_or(""), "Standard runtime is already installed.");
        QCOMPARE(model->latestActionOutput(), "No setup action run yet.");
        QCOMPARE(makeSettingsStore()->string(SettingsKey::runtimeRoot), standard.root());
        QVERIFY(m_server->requests().filter("manifest").isEmpty());
        finish(*model);
    }
    void cancelledDownload() {
        const QByteArray bytes = tarGz("tar -czf archive.tar.gz brevant-runtime");
        m_server->setResponse("/manifest.json",
                              {.body = "{\"tarball_url\":\"" + m_server->url("/rt").toUtf8() + "\"}"});
        m_server->setResponse("/rt", {.body = bytes, .trickle = 5ms});
        const QByteArray before = folderPrint(Model::standardRuntimeRoot());
        auto model = makeModel();
        model->setLanguage(AppLanguage::chinese);
        QCoro::Task<> install = model->installStandardRuntime();
        QVERIFY(QTest::qWaitFor(
            [&] { return model->downloadProgress().value_or(TransferProgress{}).received > 2; }));
        QVERIFY(model->canCancelCurrentAction());
        model->cancelCurrentAction();
        QCoro::waitFor(install);
        QCOMPARE(model->transientMessage().value_or("") + '|' + model->latestActionOutput(),
                 "操作已取消。|操作已取消。");
        QVERIFY(!model->isBusy() && !model->canCancelCurrentAction());
        QCOMPARE(folderPrint(Model::standardRuntimeRoot()), before);
        QCOMPARE(leftovers(), QStringList({"brevant-runtime"})); // the partial archive is gone
        finish(*model);
    }
};

QTEST_GUILESS_MAIN(TestInstaller)
#include "tst_installer.moc"
