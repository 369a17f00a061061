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
    void deepChecksLoadOnceAndChecksAreThrottled();

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
        << "start" << QByteArray("printf '\\n  \\n'") << "Desktop service start requested."
        << "Desktop service start requested.";
    QTest::newRow("start, one line") << "start" << QByteArray("echo '  started pid: 5  '")
                                     << "Desktop service started."
                                     << "started pid: 5";
    QTest::newRow("keep online, one line")
        << "keep-online" << QByteArray("echo ok") << "Desktop service is online."
        << "ok";
    QTest::newRow("keep online, silent")
        << "keep-online" << QByteArray("true") << "Desktop service keepalive requested."
        << "Desktop service keepalive requested.";
    QTest::newRow("stop fails with a line")
        << "stop" << QByteArray("echo 'cannot stop'; exit 1") << "cannot stop\n"
        << "cannot stop\n";
    QTest::newRow("stop fails silently") << "stop" << QByteArray("exit 1") << "Command failed."
                                         << "Command failed.";
}

void TestActionRunner::controlMessages() {
    QFETCH(QString, control);
    QFETCH(QByteArray, script);
    QFETCH(QString, message);
    QFETCH(QString, output);
    m_runtime->setScript(control == "stop" ? RuntimeLayout::stopScript : RuntimeLayout::startScript, script);
    m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector pid: 77'\n");
    auto model = makeModel();
    QCoro::waitFor(control == "start"  ? model->startConnector()
                   : control == "stop" ? model->stopConnector()
                                       : model->ensureDesktopService());
    QCOMPARE(model->transientMessage().value_or(QString()), message);
    QCOMPARE(model->latestActionOutput(), output);
    // The status is refreshed afterwards, whatever the action's outcome.
    QVERIFY(model->isRunning());
    QVERIFY(!model->isBusy());
    finish(*model);
}

void TestActionRunner::noValidRootOnlySaysSo() {
    const QString marker = m_home.path() + QStringLiteral("/ran");
    m_runtime->setScript(RuntimeLayout::startScript, "touch '" + marker.toUtf8() + "'\n");
    auto model = makeModel();
    model->updateRuntimeRoot(QString(), std::nullopt);
    QCoro::waitFor(model->startConnector());
    QCOMPARE(model->transientMessage().value_or(QString()),
             QStringLiteral("Choose a valid runtime folder first."));
    QVERIFY(!model->isBusy());
    QVERIFY(!QFile::exists(marker));
    QCoro::waitFor(
        model->runAgentAction("ok", "fallback", "Running", [](QString) { return succeedWith("x"); }));
    QCOMPARE(model->transientMessage().value_or(QString()),
             QStringLiteral("Install the desktop runtime first."));
    QCOMPARE(model->latestActionOutput(), QStringLiteral("No setup action run yet."));
    finish(*model);
}

void TestActionRunner::agentActionFallsBackToStandardRoot() {
    TestRuntime standard(ConnectorMenuBarModel::standardRuntimeRoot());
    auto model = makeModel();
    model->updateRuntimeRoot(m_home.path() + QStringLiteral("/nothing-here"), std::nullopt);
    QString seenRoot;
    std::optional<QString> messageDuringRun;
    QCoro::waitFor(model->runAgentAction("Doctor finished.", "Doctor requested.", "Running doctor...",
                                         [&](QString root) {
                                             seenRoot = root;
                                             messageDuringRun = model->transientMessage();
                                             return succeedWith(QStringLiteral("all good\n"));
                                         }));
    QCOMPARE(seenRoot, standard.root());
    QCOMPARE(messageDuringRun.value_or(QString()), QStringLiteral("Running doctor..."));
    QCOMPARE(model->transientMessage().value_or(QString()), QStringLiteral("Doctor finished."));
    QCOMPARE(model->latestActionOutput(), QStringLiteral("all good"));
    finish(*model);
    QDir(ConnectorMenuBarModel::standardInstallRoot()).removeRecursively();
}

void TestActionRunner::busyIsClearedEarlyByTheStatusRefresh() {
    m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector pid: 1'\n");
    // A slow platform keeps the last refresh step running long enough to look.
    m_platform->setResponse(QStringLiteral("/v1/desktop/runtime/status"), answer(200, kStatusBody, 300ms));
    auto model = makeModel();
    QCoro::Task<> action = model->startConnector();
    QVERIFY(model->isBusy());
    QVERIFY(QTest::qWaitFor([&] { return model->isRunning(); }, 5000));
    QVERIFY2(!model->isBusy(), "the status refresh clears busy before the remaining refreshes end");
    QCoro::waitFor(action);
    QVERIFY(!model->isBusy());
    finish(*model);
}

void TestActionRunner::fullRefreshPublishesEveryStep() {
    m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector process not running'\n");
    m_runtime->setPairingSession(R"({"setup_code":"PAIR-1"})");
    auto model = makeModel();
    QCoro::waitFor(model->runFullRefresh());
    QCOMPARE(model->statusSummary(), QStringLiteral("Stopped"));
    QCOMPARE(model->setupChecks().size(), 9);
    QCOMPARE(model->connectivityChecks().value(0).detail, QStringLiteral("Reachable (HTTP 204)"));
    QCOMPARE(model->pairingSession().value_or(PairingSessionState{}).setupCode, QStringLiteral("PAIR-1"));
    QCOMPARE(model->currentPairingSummary(), QStringLiteral("Studio • main"));
    QCOMPARE(model->currentPhoneSummary(), QStringLiteral("Phone A • 2.1"));
    finish(*model);
}

void TestActionRunner::loopRefreshesPeriodicallyAndStopsWhenCancelled() {
    auto model = makeModel(150ms);
    const auto statusRequests = [this] {
        const QList<RecordedRequest> requests = m_platform->requests();
        return std::count_if(requests.begin(), requests.end(),
                             [](const RecordedRequest& r) { return r.path == "/v1/desktop/runtime/status"; });
    };
    QVERIFY(!model->hasFinishedFirstRefreshPass());
    QCOMPARE(statusRequests(), 0); // construction sends nothing
    QVERIFY(QTest::qWaitFor([&] { return model->hasFinishedFirstRefreshPass(); }, 5000));
    QCOMPARE(model->currentPairingSummary(), QStringLiteral("Studio • main"));
    QVERIFY(QTest::qWaitFor([&] { return statusRequests() >= 3; }, 5000));

    // Cancelled while asleep: the loop ends at once, with no further request.
    QTest::qWait(20);
    QCoro::waitFor(model->cancelRefreshLoop());
    const auto afterCancel = statusRequests();
    QTest::qWait(450);
    QCOMPARE(statusRequests(), afterCancel);
}

void TestActionRunner::deepChecksLoadOnceAndChecksAreThrottled() {
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
    QCoro::waitFor(first);
    QCoro::waitFor(second);
    QFile calls(log);
    QVERIFY(calls.open(QIODevice::ReadOnly));
    QCOMPARE(calls.readAll().count("call"), 1);
    QCOMPARE(model->setupChecks().at(5).detail, QStringLiteral("Logged in using ChatGPT"));

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
