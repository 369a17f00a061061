// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "runtime/RuntimeLayout.h"
#include "support/FakeServices.h"
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QFile>
#include <QTest>
#include <QTimer>

#include <QCoroTask>

using namespace skerrin;
using namespace skerrin::test;
using namespace std::chrono_literals;

namespace {

const QByteArray kStatusBody =
    R"({"ok":true,"desktop_pairing":{"installation_name":"Studio","workspace":"main"},)"
    R"("current_app_session":{"id":"s1","device_name":"Phone A","app_version":"2.1"}})";

QCoro::Task<Result<QString>> succeedWith(QString output) {
    co_return output;
}

CannedResponse answer(int status, const QByteArray& body, std::chrono::milliseconds delay = 0ms) {
    CannedResponse response;
    response.status = status;
    response.body = body;
    response.delay = delay;
    return response;
}

} // namespace

// The action runners, the desktop-service controls, the full refresh and the refresh loop.
class TestActionRunner : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlMessages_data();
    void controlMessages();
    void noValidRootOnlySaysSo();
    void agentActionFallsBackToStandardRoot();
    void busyIsClearedEarlyByTheStatusRefresh();
    void fullRefreshPublishesEveryStep();
    void loopRefreshesPeriodicallyAndStopsWhenCancelled();
    void deepChecksLoadOnce();

private:
    std::unique_ptr<ConnectorMenuBarModel> makeModel(std::chrono::milliseconds period = 30s) {
        auto model = std::make_unique<ConnectorMenuBarModel>(makeTestServices(), ModelOptions{period});
        model->updateRuntimeRoot(m_runtime->root(), std::nullopt);
        return model;
    }
    // Awaits the loop before the model goes, as every coroutine must be.
    void finish(ConnectorMenuBarModel& model) { QCoro::waitFor(model.cancelRefreshLoop()); }

    TemporaryHome m_home;
    std::unique_ptr<TestRuntime> m_runtime;
    std::unique_ptr<LoopbackServer> m_platform;
    std::unique_ptr<ScopedEnv> m_chatUrl;
};

void TestActionRunner::init() {
    m_home.clearSettings();
    m_platform = std::make_unique<LoopbackServer>();
    m_platform->setResponse(QStringLiteral("/v1/desktop/runtime/status"), answer(200, kStatusBody));
    m_platform->setResponse(QStringLiteral("/chat"), answer(204, {}));
    m_chatUrl =
        std::make_unique<ScopedEnv>("SKERRIN_CHATGPT_URL", m_platform->url(QStringLiteral("/chat")).toUtf8());
    m_runtime = std::make_unique<TestRuntime>(m_home.path() + QStringLiteral("/runtime ünïcode"));
    m_runtime->setEnv("RELAY_TOKEN=sentinel-relay-token\nCONNECTOR_WORKSPACE=main\nPLATFORM_BASE_URL=" +
                      m_platform->baseUrl().toUtf8() + "\n");
}

void TestActionRunner::cleanup() {
    m_runtime.reset();
    m_chatUrl.reset();
    m_platform.reset();
    QDir(m_home.path()).removeRecursively();
    QDir().mkpath(m_home.configHome());
}

void TestActionRunner::controlMessages_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("output");
    QTest::newRow("start, blank output")
        << "start" << QByteArray("printf '\\n  \\n'\n") << "Desktop service start requested."
        << "Desktop service start requested.";
    QTest::newRow("start, one line") << "start"
                                     << QByteArray("echo '  started connector with nohup pid: 5  '\n")
                                     << "Desktop service started."
                                     << "started connector with nohup pid: 5";
    QTest::newRow("keep online, one line")
        << "keep-online" << QByteArray("echo ok\n") << "Desktop service is online."
        << "ok";
    QTest::newRow("keep online, silent")
        << "keep-online" << QByteArray("true\n") << "Desktop service keepalive requested."
        << "Desktop service keepalive requested.";
    QTest::newRow("stop fails with a line")
        << "stop" << QByteArray("echo 'cannot stop'; exit 1\n") << "cannot stop\n"
        << "cannot stop\n";
    QTest::newRow("stop fails silently") << "stop" << QByteArray("exit 1\n") << "Command failed."
                                         << "Command failed.";
    QTest::newRow("stop succeeds silently")
        << "stop" << QByteArray("exit 0\n") << "Desktop service stop requested."
        << "Desktop service stop requested.";
}

void TestActionRunner::controlMessages() {
    QFETCH(QString, control);
    QFETCH(QByteArray, script);
    QFETCH(QString, message);
    QFETCH(QString, output);
    const QString script_path =
        control == QLatin1String("stop") ? RuntimeLayout::stopScript : RuntimeLayout::startScript;
    m_runtime->setScript(script_path, script);
    m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector pid: 77'\n");
    auto model = makeModel();
    if (control == QLatin1String("start"))
        QCoro::waitFor(model->startConnector());
    else if (control == QLatin1String("stop"))
        QCoro::waitFor(model->stopConnector());
    else
        QCoro::waitFor(model->ensureDesktopService());
    QCOMPARE(model->transientMessage().value_or(QString()), message);
    QCOMPARE(model->latestActionOutput(), output);
    // The status is refreshed afterwards, whatever the action's outcome.
    QVERIFY(model->isRunning());
    QCOMPARE(model->statusDetail(), QStringLiteral("connector pid: 77"));
    QVERIFY(!model->isBusy());
    finish(*model);
}

void TestActionRunner::noValidRootOnlySaysSo() {
    const QString marker = m_home.path() + QStringLiteral("/ran");
    m_runtime->setScript(RuntimeLayout::startScript, "touch '" + marker.toUtf8() + "'\n");
    auto model = makeModel();
    model->updateRuntimeRoot(QString(), std::nullopt);
    int notifications = 0;
    connect(model.get(), &ConnectorMenuBarModel::willChange, this, [&notifications] { ++notifications; });
    QCoro::waitFor(model->startConnector());
    QCOMPARE(model->transientMessage(),
             std::optional<QString>(QStringLiteral("Choose a valid runtime folder first.")));
    QCOMPARE(notifications, 1);
    QVERIFY(!model->isBusy());
    QVERIFY(!QFile::exists(marker));
    QCOMPARE(model->latestActionOutput(), QStringLiteral("No setup action run yet."));

    QCoro::waitFor(model->runAgentAction(QStringLiteral("ok"), QStringLiteral("fallback"),
                                         QStringLiteral("Running"),
                                         [](QString) { return succeedWith(QStringLiteral("x")); }));
    QCOMPARE(model->transientMessage(),
             std::optional<QString>(QStringLiteral("Install the desktop runtime first.")));
    finish(*model);
}

void TestActionRunner::agentActionFallsBackToStandardRoot() {
    TestRuntime standard(ConnectorMenuBarModel::standardRuntimeRoot());
    auto model = makeModel();
    model->updateRuntimeRoot(m_home.path() + QStringLiteral("/nothing-here"), std::nullopt);
    QString seenRoot;
    std::optional<QString> messageDuringRun;
    QCoro::waitFor(model->runAgentAction(QStringLiteral("Doctor finished."),
                                         QStringLiteral("Doctor requested."),
                                         QStringLiteral("Running doctor..."), [&](QString root) {
                                             seenRoot = root;
                                             messageDuringRun = model->transientMessage();
                                             return succeedWith(QStringLiteral("all good\n"));
                                         }));
    QCOMPARE(seenRoot, standard.root());
    QCOMPARE(messageDuringRun, std::optional<QString>(QStringLiteral("Running doctor...")));
    QCOMPARE(model->transientMessage(), std::optional<QString>(QStringLiteral("Doctor finished.")));
    QCOMPARE(model->latestActionOutput(), QStringLiteral("all good"));
    finish(*model);
    QDir(ConnectorMenuBarModel::standardInstallRoot()).removeRecursively();
}

void TestActionRunner::busyIsClearedEarlyByTheStatusRefresh() {
    m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector pid: 1'\n");
    // A platform that answers slowly keeps the last refresh step running long enough to look.
    m_platform->setResponse(QStringLiteral("/v1/desktop/runtime/status"), answer(200, kStatusBody, 300ms));
    auto model = makeModel();
    QList<bool> busyValues;
    connect(model.get(), &ConnectorMenuBarModel::willChange, this,
            [&] { QTimer::singleShot(0, this, [&] { busyValues.append(model->isBusy()); }); });
    QCoro::Task<> action = model->startConnector();
    QVERIFY(model->isBusy());
    QVERIFY(QTest::qWaitFor([&] { return model->isRunning(); }, 5000));
    QVERIFY2(!model->isBusy(), "the status refresh clears busy before the remaining refreshes end");
    QCoro::waitFor(action);
    QVERIFY(!model->isBusy());
    QVERIFY(busyValues.contains(true));
    finish(*model);
}

void TestActionRunner::fullRefreshPublishesEveryStep() {
    m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector process not running'\n");
    m_runtime->setPairingSession(R"({"setup_code":"PAIR-1"})");
    auto model = makeModel();
    QCoro::waitFor(model->runFullRefresh());
    QCOMPARE(model->statusSummary(), QStringLiteral("Stopped"));
    QCOMPARE(model->setupChecks().size(), 9);
    QCOMPARE(model->setupChecks().at(0).detail, m_runtime->root());
    QCOMPARE(model->connectivityChecks().size(), 1);
    QCOMPARE(model->connectivityChecks().at(0).detail, QStringLiteral("Reachable (HTTP 204)"));
    QVERIFY(model->pairingSession());
    QCOMPARE(model->currentPairingSummary(), QStringLiteral("Studio • main"));
    QCOMPARE(model->currentPhoneSummary(), QStringLiteral("Phone A • 2.1"));

    const QList<RecordedRequest> requests = m_platform->requests();
    const auto status = std::find_if(requests.begin(), requests.end(), [](const RecordedRequest& r) {
        return r.path == QLatin1String("/v1/desktop/runtime/status");
    });
    QVERIFY(status != requests.end());
    QVERIFY(status->header("Authorization") == "Bearer sentinel-relay-token");

    // The token is in no published text.
    QStringList published{model->statusDetail(), model->statusDiagnostics(), model->latestActionOutput(),
                          model->currentPairingSummary(), model->currentPhoneSummary()};
    for (const SetupCheck& check : model->setupChecks() + model->connectivityChecks())
        published << check.title << check.detail;
    QVERIFY(!published.join(QLatin1Char('\n')).contains(QStringLiteral("sentinel-relay-token")));

    // Without a token the summaries are cleared and nothing is sent.
    m_runtime->setEnv("CONNECTOR_WORKSPACE=main\nPLATFORM_BASE_URL=" + m_platform->baseUrl().toUtf8() + "\n");
    const qsizetype before = m_platform->requestCount();
    QCoro::waitFor(model->refreshDesktopRuntimeStatus(true));
    QCOMPARE(model->currentPairingSummary(), QString());
    QCOMPARE(m_platform->requestCount(), before);
    finish(*model);
}

void TestActionRunner::loopRefreshesPeriodicallyAndStopsWhenCancelled() {
    auto model = makeModel(150ms);
    const auto statusRequests = [this] {
        const QList<RecordedRequest> requests = m_platform->requests();
        return std::count_if(requests.begin(), requests.end(), [](const RecordedRequest& r) {
            return r.path == QLatin1String("/v1/desktop/runtime/status");
        });
    };
    QVERIFY(!model->hasFinishedFirstRefreshPass());
    QCOMPARE(statusRequests(), 0); // construction sends nothing
    QVERIFY(QTest::qWaitFor([&] { return model->hasFinishedFirstRefreshPass(); }, 5000));
    QCOMPARE(model->currentPairingSummary(), QStringLiteral("Studio • main"));
    QVERIFY(QTest::qWaitFor([&] { return statusRequests() >= 3; }, 5000));

    // Cancel while asleep: the loop ends at once, with no further request.
    QTest::qWait(20);
    QCoro::waitFor(model->cancelRefreshLoop());
    const auto afterCancel = statusRequests();
    QTest::qWait(450);
    QCOMPARE(statusRequests(), afterCancel);

    // An invalid root stops the unforced refreshes from touching the summaries.
    auto second = makeModel(100ms);
    QVERIFY(QTest::qWaitFor([&] { return second->hasFinishedFirstRefreshPass(); }, 5000));
    second->updateRuntimeRoot(m_home.path() + QStringLiteral("/gone"), std::nullopt);
    const auto beforeInvalid = statusRequests();
    QTest::qWait(350);
    QCOMPARE(statusRequests(), beforeInvalid);
    QCOMPARE(second->currentPairingSummary(), QStringLiteral("Studio • main"));
    finish(*second);
}

void TestActionRunner::deepChecksLoadOnce() {
    const QString log = m_home.path() + QStringLiteral("/codex-calls");
    const QString codex = m_home.path() + QStringLiteral("/bin/codex");
    writeScript(codex, "echo call >> '" + log.toUtf8() + "'; sleep 0.2; echo 'Logged in using ChatGPT'\n");
    m_runtime->setEnv("CODEX_BIN=" + codex.toUtf8() + "\n");
    auto model = makeModel();
    QCoro::waitFor(model->refreshSetupChecks(true));
    QCOMPARE(model->setupChecks().at(5).detail, QStringLiteral("Checked only when Advanced is opened"));
    QVERIFY(!QFile::exists(log));

    QCoro::Task<> first = model->loadDeepSetupChecksIfNeeded();
    QCoro::Task<> second = model->loadDeepSetupChecksIfNeeded();
    QVERIFY(model->hasLoadedDeepSetupChecks());
    QCoro::waitFor(first);
    QCoro::waitFor(second);
    QCoro::waitFor(model->loadDeepSetupChecksIfNeeded());
    QFile calls(log);
    QVERIFY(calls.open(QIODevice::ReadOnly));
    QCOMPARE(calls.readAll().count("call"), 1);
    QCOMPARE(model->setupChecks().at(5).detail, QStringLiteral("Logged in using ChatGPT"));
    QVERIFY(model->setupChecks().at(5).isReady);

    // Unforced refreshes inside 30 seconds change nothing.
    const QDateTime last = model->lastSetupCheckAt();
    QCoro::waitFor(model->refreshSetupChecks(false));
    QCOMPARE(model->lastSetupCheckAt(), last);
    QCoro::waitFor(model->refreshConnectivityChecks(true));
    const QDateTime lastConnectivity = model->lastConnectivityCheckAt();
    QCoro::waitFor(model->refreshConnectivityChecks(false));
    QCOMPARE(model->lastConnectivityCheckAt(), lastConnectivity);
    finish(*model);
}

QTEST_GUILESS_MAIN(TestActionRunner)
#include "tst_action_runner.moc"
