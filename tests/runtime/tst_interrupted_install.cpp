// SPDX-License-Identifier: MIT
#include "runtime/RuntimeInstaller.h"
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

const QByteArray kToken = "old-relay-token-7c41e9";
const QString kInstalled = "Desktop runtime installed.";
const QString kAlreadyInstalled = "Standard runtime is already installed.";

// The built `skerrin install`, killed before each file-system step it makes under ~/.brevant (the
// steps found by a first run through a preloaded library that logs them), over an invalid old
// runtime that holds the user's relay token. After each kill the root must be the old runtime as
// it was or the new one, once recovery has run; the next install must succeed and leave no staging
// folder and no copy of the old token behind.
class TestInterruptedInstall : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir; // src/ (what the archive holds), then home/, config/, tmp/ and copy/ of each run
    LoopbackServer m_server;
    QByteArray m_newTree;
    QByteArray m_oldTree;

    QString at(const QString& name) const { return m_dir.filePath(name); }
    QString installRoot(const QString& home) const { return home + "/.brevant"; }
    QString runtimeRoot(const QString& home) const { return home + "/.brevant/brevant-runtime"; }

    // Every path below `folder` with its type, mode and link target, and every file's digest;
    // "missing" when nothing is there.
    QByteArray tree(const QString& folder) const {
        QProcess bash;
        bash.start("/bin/bash", {"-c",
                                 "[ -e \"$1\" ] || [ -L \"$1\" ] || { echo missing; exit; }; cd \"$1\" && "
                                 "find . -printf '%p %y %m %l\\n' | LC_ALL=C sort && "
                                 "find . -type f -exec sha256sum {} + | LC_ALL=C sort",
                                 "bash", folder});
        bash.waitForFinished(10000);
        return bash.readAllStandardOutput();
    }
    // What the root holds: "old", "new", "missing", or "other".
    QString rootIs(const QString& home) const {
        const QByteArray now = tree(runtimeRoot(home));
        return now == m_oldTree ? "old" : now == m_newTree ? "new" : now == "missing\n" ? "missing" : "other";
    }
    // Files under `folder` (not through links) that hold the old token, relative to it.
    static QStringList withToken(const QString& folder) {
        QStringList found;
        QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (!QFileInfo(path).isSymLink() && readFile(path).contains(kToken))
                found << QDir(folder).relativeFilePath(path);
        }
        return found;
    }
    static QStringList entries(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    static QString normalized(QString text) {
        return text.replace(QRegularExpression("staging-[A-Za-z0-9]{6}"), "staging-*");
    }

    // A new home whose standard root holds an invalid runtime with the user's .env and state.
    void freshHome() {
        for (const char* name : {"home", "config", "tmp", "copy"})
            QDir(at(name)).removeRecursively();
        QVERIFY(QDir().mkpath(at("config")) && QDir().mkpath(at("tmp")));
        TestRuntime old(runtimeRoot(at("home")));
        old.setEnv("RELAY_TOKEN=" + kToken + "\n");
        QVERIFY(QFile::remove(runtimePath(old.root(), RuntimeLayout::connectorProgram)));
        QVERIFY(writeFile(old.root() + "/state/connector.log", "earlier run\n"));
        QVERIFY(QFile::link("../config/.env", old.root() + "/state/env-link"));
        m_oldTree = tree(old.root());
    }

    struct Run {
        bool killed = false;
        QJsonObject state;
    };
    // The environment of a user whose home is the test's, against the loopback platform.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LANGUAGE");
        env.remove("LC_ALL");
        env.insert("LANG", "C.UTF-8");
        env.insert("HOME", at("home"));
        env.insert("XDG_CONFIG_HOME", at("config"));
        env.insert("TMPDIR", at("tmp"));
        env.insert("SKERRIN_MANIFEST_URL", m_server.url("/manifest"));
        env.insert("SKERRIN_PLATFORM_BASE_URL", m_server.baseUrl());
        env.insert("SKERRIN_CHATGPT_URL", m_server.url("/chat"));
        return env;
    }
    // `skerrin install --json` in the test's home; `preload` adds the step library's variables.
    Run install(const QMap<QString, QString>& preload = {}) {
        QProcessEnvironment env = environment();
        if (!preload.isEmpty()) {
            env.insert("LD_PRELOAD", KILL_BEFORE_STEP);
            env.insert("KILL_BEFORE_STEP_UNDER", installRoot(at("home")));
            env.insert("KILL_BEFORE_STEP_LOG", at("steps.log"));
            // Under the address sanitizer the library is preloaded ahead of its runtime.
            env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
            for (auto it = preload.begin(); it != preload.end(); ++it)
                env.insert(it.key(), it.value());
        }
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(SKERRIN_BINARY, {"install", "--json"});
        const bool ended = process.waitForFinished(60000);
        if (!ended)
            process.kill();
        process.waitForFinished();
        const bool killed = ended && process.exitStatus() == QProcess::CrashExit;
        return {killed, QJsonDocument::fromJson(process.readAllStandardOutput()).object()};
    }
    QStringList loggedSteps() const {
        return QString::fromUtf8(readFile(at("steps.log"))).split('\n', Qt::SkipEmptyParts);
    }
    // A successful install's end: the new runtime at the root, the archive's other entry beside it
    // (unless a kill came after the swap but before its move: it is not looked for again), nothing
    // else in the install root and the old token nowhere.
    void verifyInstalled(const QString& home, bool extraMayMiss) {
        QCOMPARE(rootIs(home), "new");
        const QStringList beside = entries(installRoot(home));
        if (!extraMayMiss || beside != QStringList{"brevant-runtime"})
            QCOMPARE(beside, QStringList({"brevant-runtime", "extra.txt"}));
        QCOMPARE(withToken(home) + withToken(at("tmp")), QStringList());
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        TestRuntime(at("src/brevant-runtime"));
        QVERIFY(writeFile(at("src/extra.txt"), "beside the runtime\n"));
        m_newTree = tree(at("src/brevant-runtime"));
        QProcess tar;
        tar.setWorkingDirectory(at("src"));
        tar.start("/usr/bin/tar", {"-czf", "-", "brevant-runtime", "extra.txt"});
        QVERIFY(tar.waitForFinished(10000) && tar.exitCode() == 0);
        const QByteArray archive = tar.readAllStandardOutput();
        m_server.setResponse("/rt", {.body = archive});
        const QJsonObject manifest{
            {"tarball_url", m_server.url("/rt")},
            {"sha256_tar_gz",
             QString(QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex())}};
        m_server.setResponse("/manifest", {.body = QJsonDocument(manifest).toJson()});
    }

    void killedBeforeEachStep_data() {
        QTest::addColumn<bool>("refuseExchange");
        QTest::newRow("exchange") << false;
        QTest::newRow("two renames, the exchange refused") << true;
    }
    void killedBeforeEachStep() {
        QFETCH(bool, refuseExchange);
        QMap<QString, QString> preload{{"KILL_BEFORE_STEP_AT", "0"}};
        if (refuseExchange)
            preload.insert("KILL_BEFORE_STEP_REFUSE_EXCHANGE", "1");

        // The steps of an install that nothing interrupts.
        freshHome();
        QFile::remove(at("steps.log"));
        const Run whole = install(preload);
        QCOMPARE(whole.state.value("transientMessage").toString(), kInstalled);
        verifyInstalled(at("home"), false);
        const QStringList steps = loggedSteps();
        QVERIFY(!steps.isEmpty());
        // The swap itself is one of them: one exchange, or the old root moved aside first.
        QCOMPARE(steps
                     .filter(refuseExchange ? QRegularExpression("^\\d+ rename \\.brevant/brevant-runtime ")
                                            : QRegularExpression("^\\d+ renameat2\\(exchange\\) "))
                     .size(),
                 1);

        for (int step = 1; step <= steps.size(); ++step) {
            const QByteArray row = QByteArray::number(step) + ": " + normalized(steps[step - 1]).toUtf8();
            freshHome();
            QFile::remove(at("steps.log"));
            preload["KILL_BEFORE_STEP_AT"] = QString::number(step);
            const Run killed = install(preload);
            QVERIFY2(killed.killed, row);
            QVERIFY2(normalized(loggedSteps().value(step - 1)) == normalized(steps[step - 1]), row);

            // What the kill left, as a user's next start finds it.
            const QString left = rootIs(at("home"));
            QVERIFY2(left == "old" || left == "new" || (refuseExchange && left == "missing"), row);

            // Recovery alone, in a copy of the home: the root is the old runtime or the new one,
            // and no staging folder is left.
            QCOMPARE(QProcess::execute("/bin/cp", {"-a", at("home"), at("copy")}), 0);
            recoverInterruptedInstall(installRoot(at("copy")));
            const QString recovered = rootIs(at("copy"));
            QVERIFY2(recovered == "old" || recovered == "new", row);
            QVERIFY2(entries(installRoot(at("copy"))).filter("staging").isEmpty(), row);
            QCOMPARE(withToken(installRoot(at("copy"))),
                     recovered == "old" ? QStringList{"brevant-runtime/config/.env"} : QStringList());

            // The next install, with recovery of its own, succeeds and leaves nothing behind.
            const Run next = install();
            const QString message = next.state.value("transientMessage").toString();
            QVERIFY2(message == (left == "new" ? kAlreadyInstalled : kInstalled), qPrintable(row + message));
            QCOMPARE(next.state.value("runtimeRoot").toString(), runtimeRoot(at("home")));
            verifyInstalled(at("home"), left == "new");
        }
    }

    // Killed between the two moves of a swap, then the tray application starts: it finds the old
    // runtime at the root, and no staging folder.
    void trayStartPutsTheOldRuntimeBack() {
        freshHome();
        const QString staging = installRoot(at("home")) + "/.brevant-runtime-staging-k1ll3d";
        QVERIFY(QDir().mkpath(staging + "/brevant-runtime/runner"));
        QVERIFY(QDir().rename(runtimeRoot(at("home")), staging + "/.previous"));
        QVERIFY(QDir().mkpath(installRoot(at("home")) + "/.brevant-runtime-staging-0ther1"));
        QTemporaryDir runtimeDir; // the single-instance socket's
        QProcessEnvironment env = environment();
        env.insert("XDG_RUNTIME_DIR", runtimeDir.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess tray;
        tray.setProcessEnvironment(env);
        tray.start(SKERRIN_BINARY, {"--windowed"});
        const bool recovered = QTest::qWaitFor(
            [&] { return entries(installRoot(at("home"))) == QStringList{"brevant-runtime"}; }, 20000);
        tray.terminate();
        QVERIFY(tray.waitForFinished(10000));
        QVERIFY(recovered);
        QCOMPARE(rootIs(at("home")), "old");
    }

    // A folder a live install holds is left alone, whatever its age; one nobody holds goes.
    void heldStagingFolderStays() {
        const QString root = at("held/.brevant");
        QVERIFY(QDir().mkpath(root + "/.brevant-runtime-staging-dead00/brevant-runtime"));
        std::optional<Result<StagingFolder>> held(makeStagingFolder(root));
        QVERIFY(held->ok());
        const QString path = held->value().path();
        QVERIFY(path.startsWith(root + "/.brevant-runtime-staging-"));
        QVERIFY(writeFile(path + "/brevant-runtime/partial", "being unpacked"));
        recoverInterruptedInstall(root);
        QCOMPARE(entries(root), QStringList{QFileInfo(path).fileName()});
        QVERIFY(QFile::exists(path + "/brevant-runtime/partial"));
        held.reset(); // the install ends without removing it: the next recovery does
        recoverInterruptedInstall(root);
        QCOMPARE(entries(root), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestInterruptedInstall)
#include "tst_interrupted_install.moc"
