// SPDX-License-Identifier: MIT
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace skerrin::test;
using namespace std::chrono_literals;

const QByteArray kToken = "sentinel-cli-relay-token";

// The built executable, run as a user would: its own HOME, config home and locale.
class TestCommandLine : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_home;
    LoopbackServer m_platform;
    QByteArray m_printed; // everything any run printed
    QString m_runtime;    // a runtime whose connector must be stopped, whatever failed

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("LANGUAGE");
        environment.remove("LC_ALL");
        environment.insert("LANG", "C.UTF-8");
        environment.insert("HOME", m_home->path());
        environment.insert("XDG_CONFIG_HOME", m_home->filePath("config"));
        environment.insert("SKERRIN_PLATFORM_BASE_URL", m_platform.baseUrl());
        environment.insert("SKERRIN_CHATGPT_URL", m_platform.url("/chat"));
        environment.insert("SKERRIN_MANIFEST_URL", m_platform.url("/manifest"));
        environment.insert("TMPDIR", m_home->path());
        return environment;
    }
    // The exit code (-1 after a crash or a hang) and standard output; m_printed gets both streams.
    std::pair<int, QByteArray> run(const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(SKERRIN_BINARY, arguments);
        const bool exited = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit;
        const QByteArray out = process.readAllStandardOutput();
        m_printed += out + process.readAllStandardError();
        return {exited ? process.exitCode() : -1, out};
    }
    QJsonObject state(const QStringList& arguments) {
        return QJsonDocument::fromJson(run(QStringList(arguments) << "--json").second).object();
    }
    QString field(const QStringList& arguments, const char* key) {
        return state(arguments).value(QLatin1String(key)).toString();
    }

private slots:
    void init() { m_home.emplace(); }
    void cleanup() {
        if (!m_runtime.isEmpty())
            QProcess::execute("/bin/bash", {m_runtime + "/runner/connector_stop.sh"});
        m_runtime.clear();
    }
    void badArgumentsPrintUsage_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"launch"};
        QTest::newRow("language not offered") << QStringList{"language", "zh"};
        QTest::newRow("empty folder") << QStringList{"use-folder", ""};
        QTest::newRow("extra argument") << QStringList{"state", "now"};
    }
    void badArgumentsPrintUsage() {
        QFETCH(QStringList, arguments);
        m_printed.clear();
        QCOMPARE(run(arguments), std::pair(2, QByteArray())); // the usage goes to standard error only
        QVERIFY(m_printed.startsWith("usage: skerrin"));
        QVERIFY(!QFile::exists(m_home->filePath("config/Skerrin/Skerrin.conf")));
    }
    void referenceRuntimeWithoutLeakingTheToken() {
        // A path that quoting or expansion would break.
        m_runtime = m_home->filePath("my runtime 'ü' $HOME");
        QCOMPARE(QProcess::execute("/bin/cp", {"-R", SKERRIN_REFERENCE_RUNTIME, m_runtime}), 0);
        QVERIFY(writeFile(m_runtime + "/config/.env",
                          "RELAY_TOKEN=" + kToken + "\nRELAY_BASE_URL=" + m_platform.baseUrl().toUtf8() +
                              "\nCONNECTOR_WORKSPACE=main\n"));
        m_platform.setResponse("/v1/desktop/runtime/status",
                               {.body = R"({"ok":true,"desktop_pairing":{"installation_name":"Studio"}})"});
        QCOMPARE(field({"use-folder", m_runtime}, "statusSummary"), "Stopped");
        QCOMPARE(field({"start"}, "statusSummary"), "Running");
        QCOMPARE(field({"keep-online"}, "transientMessage"), "Desktop service is online.");
        QCOMPARE(field({"refresh"}, "currentPairingSummary"), "Studio");
        QCOMPARE(state({"advanced"}).value("connectivityChecks").toArray().size(), 2); // ChatGPT, relay
        QCOMPARE(field({"stop"}, "statusSummary"), "Stopped");
        m_runtime.clear();
        run({"state"});                                               // the text form too
        QStringList withToken = m_platform.requests().filter(kToken); // used, and only where it belongs
        withToken.removeDuplicates();
        QCOMPARE(withToken, QStringList{"GET /v1/desktop/runtime/status Bearer " + kToken});
        QVERIFY2(!m_printed.contains(kToken), m_printed.constData());
    }
    void interruptedInstallIsCancelled() {
        m_platform.setResponse("/manifest",
                               {.body = "{\"tarball_url\":\"" + m_platform.url("/rt").toUtf8() + "\"}"});
        m_platform.setResponse("/rt", {.body = QByteArray(4096, 'x'), .trickle = 10ms});
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(SKERRIN_BINARY, {"install", "--json"});
        QVERIFY(QTest::qWaitFor([&] { return m_platform.requests().contains("GET /rt"); }, 20000));
        QTest::qWait(300);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 130);
        const QJsonObject state = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
        QCOMPARE(state.value("transientMessage").toString(), "Action cancelled.");
        // Neither the partial archive nor a staging folder stays behind.
        QCOMPARE(QDir(m_home->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(!QFile::exists(m_home->filePath(".brevant")));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
