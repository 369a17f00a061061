// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "model/StatusRefresh.h"
#include "runtime/RuntimeLayout.h"
#include "support/FakeServices.h"
#include "support/LoopbackServer.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QFile>
#include <QTest>
#include <QTimer>

using namespace skerrin;
using namespace skerrin::test;
using namespace std::chrono_literals;

const QString kStatusPath = QStringLiteral("/v1/desktop/runtime/status");
const QByteArray kStatusBody =
    R"({"ok":true,"desktop_pairing":{"installation_name":"Studio","workspace":"main"},)"
    R"("current_app_session":{"id":"s1","device_name":"Phone A","app_version":"2.1"}})";

QCoro::Task<Result<QString>> succeedWith(QString output) {
    co_return output;
}

QString shownStatus(const ConnectorMenuBarModel& model) {
    return model.statusSummary() + '|' + model.statusDetail() + '|' + model.statusDiagnostics();
}

// The status refresh, the action runners and desktop-service controls, the full refresh, the loop
// and the setup checks' refresh.
class TestModelOperations : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    std::optional<LoopbackServer> m_platform;
    std::optional<ScopedEnv> m_chatUrl;
    std::optional<TestRuntime> m_runtime;

    std::unique_ptr<ConnectorMenuBarModel> makeModel(std::chrono::milliseconds period = 30s) {
        auto model = std::make_unique<ConnectorMenuBarModel>(makeTestServices(), ModelOptions{period});
        model->updateRuntimeRoot(m_runtime->root(), std::nullopt);
        return model;
    }
    // Awaits the loop before the model goes, as every coroutine must be.
    static void finish(ConnectorMenuBarModel& model) { QCoro::waitFor(model.cancelRefreshLoop()); }

private slots:
    void init() {
        m_home.empty();
        m_platform.emplace();
        m_platform->setResponse(kStatusPath, {.body = kStatusBody});
        m_platform->setResponse("/chat", {.status = 204});
        m_chatUrl.emplace("SKERRIN_CHATGPT_URL", m_platform->url("/chat").toUtf8());
        m_runtime.emplace(m_home.path() + "/runtime 'ü' $dollar");
        m_runtime->setEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\nPLATFORM_BASE_URL=" +
                          m_platform->baseUrl().toUtf8() + "\n");
    }
    void statusMarkersAndDetail_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("detail"); // empty: not running, so the line naming the root
        const auto row = [](const char* name, QString output, QString detail) {
            QTest::newRow(name) << output << detail;
        };
        row("pid line, any case", "  CONNECTOR PID: 4242  ", "CONNECTOR PID: 4242");
        row("tmux session", "started connector tmux session: brevant", "Desktop service is online.");
        row("launchd line", "connector already running\nThe Launchd Service is loaded",
            "The Launchd Service is loaded");
        row("pid line before launchd line", "launchd service ok\nconnector pid: 9", "connector pid: 9");
        row("not-running marker wins", "connector pid: 9\nconnector process not running", "");
        row("warning becomes detail",
            "connector pid: 9\nWARNING: launchd reports running but connector process is missing",
            "WARNING: launchd reports running but connector process is missing");
        row("stale pid file",
            "started connector with nohup pid: 3\npid file exists but process is not running", "");
        row("no marker", "hello", "");
    }
    void statusMarkersAndDetail() {
        QFETCH(QString, output);
        QFETCH(QString, detail);
        const bool running = connectorIsRunning(output);
        QCOMPARE(summarizeConnectorStatus(output.trimmed(), "/rt", running, AppLanguage::english),
                 detail.isEmpty() ? "Desktop service is not running. Runtime: /rt" : detail);
    }
    void statusRefreshRunsTheScript_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("shown"); // summary|detail|diagnostics; <root> is the runtime root
        QTest::newRow("running") << QByteArray("echo ' connector pid: 12 '")
                                 << "Running|connector pid: 12|connector pid: 12";
        QTest::newRow("stopped, in Chinese")
            << QByteArray("echo 'connector process not running'")
            << "未运行|桌面服务未运行。Runtime：<root>|connector process not running";
        QTest::newRow("fails") << QByteArray("echo 'status broke' >&2; exit 4")
                               << "Error|status broke\n|status broke\n";
    }
    void statusRefreshRunsTheScript() {
        QFETCH(QByteArray, script);
        QFETCH(QString, shown);
        m_runtime->setScript(RuntimeLayout::statusScript, script);
        auto model = makeModel();
        const bool chinese = QString(QTest::currentDataTag()).contains("Chinese");
        ModelSeed(*model).language(chinese ? AppLanguage::chinese : AppLanguage::english);
        QCoro::waitFor(model->refreshStatus(false));
        QCOMPARE(shownStatus(*model), shown.replace("<root>", m_runtime->root()));
        QVERIFY(!model->isBusy());
        finish(*model);
    }
    void statusRefreshWithoutValidRootRunsNothing() {
        auto model = makeModel();
        model->updateRuntimeRoot(QString(), std::nullopt);
        ModelSeed(*model).diagnostics("kept").running(true);
        QCoro::waitFor(model->refreshStatus(false));
        QCOMPARE(shownStatus(*model),
                 "Not configured|Install the standard runtime or choose a Brevant runtime folder.|kept");
        QVERIFY(!model->isRunning());
        model->updateRuntimeRoot(m_home.path(), std::nullopt); // a folder, but not a runtime
        QCoro::waitFor(model->refreshStatus(false));
        QCOMPARE(shownStatus(*model),
                 "Not configured|Selected folder does not look like a Brevant runtime.|kept");
        finish(*model);
    }
    void controlMessages_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("shown"); // transient message | latest output
        const auto row = [](const char* name, QString control, QByteArray script, QString shown) {
            QTest::newRow(name) << control << script << shown;
        };
        row("start, blank output", "start", "printf '\\n  \\n'",
            "Desktop service start requested.|Desktop service start requested.");
        row("start, one line", "start", "echo '  started pid: 5  '",
            "Desktop service started.|started pid: 5");
        row("keep online, one line", "keep-online", "echo ok", "Desktop service is online.|ok");
        row("keep online, silent", "keep-online", "true",
            "Desktop service keepalive requested.|Desktop service keepalive requested.");
        row("stop fails with a line", "stop", "echo 'cannot stop'; exit 1", "cannot stop\n|cannot stop\n");
    }
    void controlMessages() {
        QFETCH(QString, control);
        QFETCH(QByteArray, script);
        m_runtime->setScript(control == "stop" ? RuntimeLayout::stopScript : RuntimeLayout::startScript,
                             script);
        m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector pid: 77'\n");
        auto model = makeModel();
        QCoro::waitFor(control == "start"  ? model->startConnector()
                       : control == "stop" ? model->stopConnector()
                                           : model->ensureDesktopService());
        QTEST(model->transientMessage().value_or("") + '|' + model->latestActionOutput(), "shown");
        QVERIFY(model->isRunning() && !model->isBusy()); // the status is refreshed whatever the outcome
        finish(*model);
    }
    void actionsWithoutValidRoot() {
        const QString marker = m_home.path() + "/ran";
        m_runtime->setScript(RuntimeLayout::startScript, "touch '" + marker.toUtf8() + "'\n");
        auto model = makeModel();
        model->updateRuntimeRoot(QString(), std::nullopt);
        QCoro::waitFor(model->startConnector());
        QCOMPARE(model->transientMessage().value_or(""), "Choose a valid runtime folder first.");
        QVERIFY(!model->isBusy() && !QFile::exists(marker));
        QCoro::waitFor(model->runAgentAction("ok", "", "Running", [](QString) { return succeedWith("x"); }));
        QCOMPARE(model->transientMessage().value_or(""), "Install the desktop runtime first.");
        // With the standard runtime in place, an agent action runs there instead.
        TestRuntime standard(ConnectorMenuBarModel::standardRuntimeRoot());
        QString seen; // the root the operation got, and the message while it ran
        QCoro::waitFor(model->runAgentAction("Doctor finished.", "", "Running doctor...", [&](QString root) {
            seen = root + '|' + model->transientMessage().value_or("");
            return succeedWith("all good\n");
        }));
        QCOMPARE(seen, standard.root() + "|Running doctor...");
        QCOMPARE(model->transientMessage().value_or("") + '|' + model->latestActionOutput(),
                 "Doctor finished.|all good");
        finish(*model);
    }
    void busyIsClearedEarlyByTheStatusRefresh() {
        m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector pid: 1'\n");
        // A slow platform keeps the last refresh step running long enough to look.
        m_platform->setResponse(kStatusPath, {.body = kStatusBody, .delay = 300ms});
        auto model = makeModel();
        QCoro::Task<> action = model->startConnector();
        QVERIFY(model->isBusy());
        QVERIFY(QTest::qWaitFor([&] { return model->isRunning(); }, 5000));
        QVERIFY2(!model->isBusy(), "the status refresh clears busy before the remaining refreshes end");
        QCoro::waitFor(action);
        QVERIFY(!model->isBusy());
        finish(*model);
    }
    void fullRefreshPublishesEveryStep() {
        m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector process not running'\n");
        m_runtime->setPairingSession(R"({"setup_code":"PAIR-1"})");
        auto model = makeModel();
        QCoro::waitFor(model->runFullRefresh());
        QCOMPARE(QStringList({model->statusSummary(), QString::number(model->setupChecks().size()),
                              model->connectivityChecks().value(0).detail,
                              model->pairingSession().value_or(PairingSessionState{}).setupCode,
                              model->currentPairingSummary(), model->currentPhoneSummary()})
                     .join('|'),
                 "Stopped|9|Reachable (HTTP 204)|PAIR-1|Studio • main|Phone A • 2.1");
        finish(*model);
    }
    void loopRefreshesPeriodicallyAndStopsWhenCancelled() {
        auto model = makeModel(150ms);
        const auto statusRequests = [this] {
            const QList<RecordedRequest> requests = m_platform->requests();
            return std::count_if(requests.begin(), requests.end(),
                                 [](const RecordedRequest& r) { return r.path == kStatusPath; });
        };
        QVERIFY(!model->hasFinishedFirstRefreshPass());
        QCOMPARE(statusRequests(), 0); // construction sends nothing
        QVERIFY(QTest::qWaitFor([&] { return model->hasFinishedFirstRefreshPass(); }, 5000));
        QCOMPARE(model->currentPairingSummary(), "Studio • main");
        QVERIFY(QTest::qWaitFor([&] { return statusRequests() >= 3; }, 5000));
        // Cancelled while asleep: the loop ends at once, with no further request.
        QTest::qWait(20);
        QCoro::waitFor(model->cancelRefreshLoop());
        const auto afterCancel = statusRequests();
        QTest::qWait(450);
        QCOMPARE(statusRequests(), afterCancel);
    }
    void setupChecksLoadOffTheGuiThreadOnceAndAreThrottled() {
        const QString log = m_home.path() + "/codex-calls", codex = m_home.path() + "/bin/codex";
        writeScript(codex, "echo call >> '" + log.toUtf8() + "'; sleep 1; echo 'Logged in using ChatGPT'\n");
        m_runtime->setEnv("CODEX_BIN=" + codex.toUtf8() + "\n");
        auto model = makeModel();
        QCoro::waitFor(model->refreshSetupChecks(true));
        QCOMPARE(model->setupChecks().at(5).detail, "Checked only when Advanced is opened");
        QVERIFY(!QFile::exists(log));
        // The login probe takes a second; meanwhile the GUI thread keeps serving a 10 ms timer.
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start(10ms);
        QCoro::Task<> first = model->loadDeepSetupChecksIfNeeded();
        QCoro::Task<> second = model->loadDeepSetupChecksIfNeeded();
        QCoro::waitFor(first);
        QCoro::waitFor(second);
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        QFile calls(log);
        QVERIFY(calls.open(QIODevice::ReadOnly));
        QCOMPARE(calls.readAll().count("call"), 1);
        QCOMPARE(model->setupChecks().at(5).detail, "Logged in using ChatGPT");
        ticks = 0; // a forced rebuild after Advanced probes again, also off the GUI thread
        QCoro::waitFor(model->refreshSetupChecks(true));
        QVERIFY2(ticks >= 20 && calls.readAll().count("call") == 1, qPrintable(QString::number(ticks)));
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
};

QTEST_GUILESS_MAIN(TestModelOperations)
#include "tst_model_operations.moc"
