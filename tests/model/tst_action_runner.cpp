// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "runtime/RuntimeLayout.h"
#include "support/FakeServices.h"
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QElapsedTimer>
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

// The longest the GUI thread went without serving a 10 ms timer while `work` ran.
qint64 largestStallMs(const std::function<void()>& work) {
    QElapsedTimer clock;
    qint64 last = 0, largest = 0;
    const auto tick = [&] {
        largest = std::max(largest, clock.elapsed() - std::exchange(last, clock.elapsed()));
    };
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, tick);
    timer.start(10ms);
    clock.start();
    work();
    tick();
    return largest;
}

// The action runners, the desktop-service controls, the full refresh and the refresh loop.
class TestActionRunner : public QObject {
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
        QDir(m_home.path()).removeRecursively();
        QDir().mkpath(m_home.configHome());
        m_platform.emplace();
        m_platform->setResponse(kStatusPath, {.body = kStatusBody});
        m_platform->setResponse("/chat", {.status = 204});
        m_chatUrl.emplace("SKERRIN_CHATGPT_URL", m_platform->url("/chat").toUtf8());
        m_runtime.emplace(m_home.path() + "/runtime ünïcode");
        m_runtime->setEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\nPLATFORM_BASE_URL=" +
                          m_platform->baseUrl().toUtf8() + "\n");
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
    void noValidRootOnlySaysSo() {
        const QString marker = m_home.path() + "/ran";
        m_runtime->setScript(RuntimeLayout::startScript, "touch '" + marker.toUtf8() + "'\n");
        auto model = makeModel();
        model->updateRuntimeRoot(QString(), std::nullopt);
        QCoro::waitFor(model->startConnector());
        QCOMPARE(model->transientMessage().value_or(""), "Choose a valid runtime folder first.");
        QVERIFY(!model->isBusy() && !QFile::exists(marker));
        QCoro::waitFor(model->runAgentAction("ok", "", "Running", [](QString) { return succeedWith("x"); }));
        QCOMPARE(model->transientMessage().value_or(""), "Install the desktop runtime first.");
        QCOMPARE(model->latestActionOutput(), "No setup action run yet.");
        finish(*model);
    }
    void agentActionFallsBackToStandardRoot() {
        TestRuntime standard(ConnectorMenuBarModel::standardRuntimeRoot());
        auto model = makeModel();
        model->updateRuntimeRoot(m_home.path() + "/nothing-here", std::nullopt);
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
    void deepChecksLoadOnceOffTheGuiThreadAndChecksAreThrottled() {
        const QString log = m_home.path() + "/codex-calls", codex = m_home.path() + "/bin/codex";
        writeScript(codex, "echo call >> '" + log.toUtf8() + "'; sleep 1; echo 'Logged in using ChatGPT'\n");
        m_runtime->setEnv("CODEX_BIN=" + codex.toUtf8() + "\n");
        auto model = makeModel();
        QCoro::waitFor(model->refreshSetupChecks(true));
        QCOMPARE(model->setupChecks().at(5).detail, "Checked only when Advanced is opened");
        QVERIFY(!QFile::exists(log));
        // The probe takes a second; the GUI thread must keep serving its timers meanwhile.
        const qint64 stall = largestStallMs([&] {
            QCoro::Task<> first = model->loadDeepSetupChecksIfNeeded();
            QCoro::Task<> second = model->loadDeepSetupChecksIfNeeded();
            QCoro::waitFor(first);
            QCoro::waitFor(second);
        });
        QVERIFY2(stall < 500, qPrintable(QString::number(stall)));
        QFile calls(log);
        QVERIFY(calls.open(QIODevice::ReadOnly));
        QCOMPARE(calls.readAll().count("call"), 1);
        QCOMPARE(model->setupChecks().at(5).detail, "Logged in using ChatGPT");
        // A forced rebuild after Advanced probes again, also off the GUI thread.
        QVERIFY(largestStallMs([&] { QCoro::waitFor(model->refreshSetupChecks(true)); }) < 500);
        QVERIFY(calls.readAll().count("call") == 1);
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

QTEST_GUILESS_MAIN(TestActionRunner)
#include "tst_action_runner.moc"
