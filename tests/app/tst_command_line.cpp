// SPDX-License-Identifier: MIT
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace skerrin::test;

namespace {

const QByteArray kToken = "sentinel-cli-relay-token";

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

} // namespace

// The built executable, run as a user would: its own HOME, config home and locale.
class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stateHasExactlyTheDocumentedKeys();
    void languageFollowsLocaleThenTheStoredChoice();
    void badArgumentsPrintUsage_data();
    void badArgumentsPrintUsage();
    void referenceRuntimeStartsAndStops();
    void relayTokenAppearsInNoOutput();

private:
    Run skerrin(const QStringList& arguments, const QByteArray& lang = "C.UTF-8") {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home->path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->path() + QStringLiteral("/config"));
        environment.remove(QStringLiteral("LANGUAGE"));
        environment.remove(QStringLiteral("LC_ALL"));
        environment.insert(QStringLiteral("LANG"), QString::fromLatin1(lang));
        environment.insert(QStringLiteral("SKERRIN_PLATFORM_BASE_URL"), m_platform->baseUrl());
        environment.insert(QStringLiteral("SKERRIN_CHATGPT_URL"), m_platform->url(QStringLiteral("/chat")));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(SKERRIN_BINARY), arguments);
        Run run;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        m_everything += run.out + run.err;
        return run;
    }

    // A copy of the reference runtime at a path that quoting or expansion would break.
    QString copyReferenceRuntime() {
        const QString root = m_home->path() + QStringLiteral("/my runtime 'ü' $HOME");
        QProcess copy;
        copy.start(QStringLiteral("/bin/cp"),
                   {QStringLiteral("-R"), QStringLiteral(SKERRIN_REFERENCE_RUNTIME), root});
        copy.waitForFinished();
        return root;
    }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<LoopbackServer> m_platform;
    QByteArray m_everything;
    QString m_runtimeToStop;
};

void TestCommandLine::init() {
    m_home = std::make_unique<QTemporaryDir>();
    m_platform = std::make_unique<LoopbackServer>();
    CannedResponse status;
    status.body = R"({"ok":true,"desktop_pairing":{"installation_name":"Studio"},)"
                  R"("current_app_session":{"id":"s","device_name":"Phone"}})";
    m_platform->setResponse(QStringLiteral("/v1/desktop/runtime/status"), status);
    CannedResponse chat;
    chat.status = 204;
    m_platform->setResponse(QStringLiteral("/chat"), chat);
    m_everything.clear();
}

void TestCommandLine::cleanup() {
    // Never leave a connector behind, whatever failed.
    if (!m_runtimeToStop.isEmpty()) {
        QProcess::execute(QStringLiteral("/bin/bash"),
                          {m_runtimeToStop + QStringLiteral("/runner/connector_stop.sh")});
        m_runtimeToStop.clear();
    }
    m_platform.reset();
    m_home.reset();
}

void TestCommandLine::stateHasExactlyTheDocumentedKeys() {
    const Run run = skerrin({"state", "--json"});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject state = run.json();
    QStringList keys = state.keys();
    QStringList expected =
        QStringLiteral(
            "runtimeRoot statusSummary statusDetail statusDiagnostics isRunning isBusy launchAtLoginEnabled "
            "transientMessage language setupChecks connectivityChecks latestActionOutput pairingSession "
            "currentPhoneSummary currentPairingSummary hasLoadedDeepSetupChecks statusIcon "
            "latestActionSummary "
            "pairingExpiresText appVersionText runtimeInstallButtonTitle primaryActionTitle "
            "primaryActionSubtitle "
            "isPairingConfigured")
            .split(' ');
    keys.sort();
    expected.sort();
    QCOMPARE(keys, expected);
    QVERIFY(state.value("transientMessage").isNull());
    QVERIFY(state.value("pairingSession").isNull());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+ \\(\\d+\\)$"))
                .match(state.value("appVersionText").toString())
                .hasMatch());
    QVERIFY(skerrin({"state"}).out.contains("Runtime: (none)"));
}

void TestCommandLine::languageFollowsLocaleThenTheStoredChoice() {
    QCOMPARE(skerrin({"state", "--json"}, "zh_CN.UTF-8").json().value("language").toString(), "zh-Hans");
    QCOMPARE(skerrin({"state", "--json"}, "en_GB.UTF-8").json().value("language").toString(), "en");
    // A stored choice outlives the process and wins over the locale.
    QCOMPARE(skerrin({"language", "zh-Hans"}, "en_GB.UTF-8").exitCode, 0);
    QCOMPARE(skerrin({"state", "--json"}, "en_GB.UTF-8").json().value("language").toString(), "zh-Hans");
}

void TestCommandLine::badArgumentsPrintUsage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"launch"};
    QTest::newRow("language not offered") << QStringList{"language", "zh"};
    QTest::newRow("empty folder") << QStringList{"use-folder", ""};
    QTest::newRow("extra argument") << QStringList{"state", "now"};
}

void TestCommandLine::badArgumentsPrintUsage() {
    QFETCH(QStringList, arguments);
    const Run run = skerrin(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.startsWith("usage: skerrin"));
    QVERIFY(!QFile::exists(m_home->path() + QStringLiteral("/config/Skerrin/Skerrin.conf")));
}

void TestCommandLine::referenceRuntimeStartsAndStops() {
    const QString root = copyReferenceRuntime();
    m_runtimeToStop = root;

    QJsonObject state = skerrin({"use-folder", root, "--json"}).json();
    QCOMPARE(state.value("runtimeRoot").toString(), root);
    QCOMPARE(state.value("statusSummary").toString(), "Stopped");
    QCOMPARE(state.value("isRunning").toBool(), false);
    QCOMPARE(state.value("setupChecks").toArray().size(), 9);

    // The folder is remembered, path and all.
    QCOMPARE(skerrin({"state", "--json"}).json().value("runtimeRoot").toString(), root);

    state = skerrin({"start", "--json"}).json();
    QCOMPARE(state.value("transientMessage").toString(), "Desktop service started.");
    QVERIFY(state.value("latestActionOutput").toString().startsWith("started connector with nohup pid: "));
    QCOMPARE(state.value("statusSummary").toString(), "Running");
    QCOMPARE(state.value("isRunning").toBool(), true);
    QCOMPARE(state.value("isBusy").toBool(), false);
    QCOMPARE(state.value("statusIcon").toString(), "bolt.horizontal.circle.fill");

    state = skerrin({"keep-online", "--json"}).json();
    QCOMPARE(state.value("transientMessage").toString(), "Desktop service is online.");
    QVERIFY(state.value("latestActionOutput").toString().startsWith("connector already running"));
    QCOMPARE(state.value("isRunning").toBool(), true);

    state = skerrin({"stop", "--json"}).json();
    QCOMPARE(state.value("transientMessage").toString(), "Desktop service stopped.");
    QCOMPARE(state.value("latestActionOutput").toString(), "connector stopped");
    QCOMPARE(state.value("statusSummary").toString(), "Stopped");
    m_runtimeToStop.clear();
}

void TestCommandLine::relayTokenAppearsInNoOutput() {
    const QString root = copyReferenceRuntime();
    QVERIFY(writeFile(root + QStringLiteral("/config/.env"),
                      "RELAY_TOKEN=" + kToken + "\nRELAY_BASE_URL=" + m_platform->baseUrl().toUtf8() +
                          "\nCONNECTOR_WORKSPACE=main\n"));
    QCOMPARE(skerrin({"use-folder", root}).exitCode, 0);
    const QJsonObject refreshed = skerrin({"refresh", "--json"}).json();
    QCOMPARE(refreshed.value("currentPairingSummary").toString(), "Studio");
    QCOMPARE(refreshed.value("currentPhoneSummary").toString(), "Phone");
    QCOMPARE(refreshed.value("isPairingConfigured").toBool(), true);
    const QJsonObject advanced = skerrin({"advanced", "--json"}).json();
    QCOMPARE(advanced.value("hasLoadedDeepSetupChecks").toBool(), true);
    QCOMPARE(advanced.value("connectivityChecks").toArray().size(), 2);
    skerrin({"state"});

    // The token was used, and went only where it belongs.
    QStringList tokenPaths;
    for (const RecordedRequest& request : m_platform->requests()) {
        if (request.header("Authorization") == "Bearer " + kToken)
            tokenPaths.append(request.path);
    }
    QVERIFY(!tokenPaths.isEmpty());
    tokenPaths.removeDuplicates();
    QCOMPARE(tokenPaths, QStringList{"/v1/desktop/runtime/status"});
    QVERIFY(!m_everything.isEmpty());
    QVERIFY2(!m_everything.contains(kToken), m_everything.constData());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
