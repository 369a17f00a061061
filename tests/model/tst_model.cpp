// SPDX-License-Identifier: MIT
#include "model/DisplayTexts.h"
#include "model/StatusRefresh.h"
#include "support/ModelTest.h"

#include <QTimer>

const QString kStatusPath = QStringLiteral("/v1/desktop/runtime/status");
const QByteArray kStatusBody =
    R"({"ok":true,"desktop_pairing":{"installation_name":"Studio","workspace":"main"},)"
    R"("current_app_session":{"id":"s1","device_name":"Phone A","app_version":"2.1"}})";

QCoro::Task<Result<QString>> succeedWith(QString output) {
    co_return output;
}

// The model: start-up, what is remembered, derived texts, the pairing session, and its operations
// (status refresh, actions, the loop, setup checks), against a loopback platform.
class TestModel : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    std::optional<LoopbackServer> m_platform;
    std::optional<TestRuntime> m_runtime; // a runtime away from the standard root, wired to the platform

    QString at(const QString& name) const { return m_home.path() + "/elsewhere/" + name; }
    static std::unique_ptr<SettingsStore> settings() { return makeSettingsStore(); }
    // Everything under elsewhere/stick is on a removable volume.
    std::unique_ptr<Model> makeModel(FakeDesktop desktop = {}) {
        desktop.removableRoot = at("stick");
        return std::make_unique<Model>(makeTestServices(desktop));
    }
    std::unique_ptr<Model> runtimeModel(std::chrono::milliseconds period = 30s,
                                        std::chrono::milliseconds statusLimit = 60s) {
        auto model = std::make_unique<Model>(makeTestServices(), ModelOptions{period, statusLimit});
        model->location().updateRuntimeRoot(m_runtime->root(), std::nullopt);
        return model;
    }

private slots:
    void init() {
        m_home.empty();
        m_platform.emplace();
        m_platform->setResponse(kStatusPath, {.body = kStatusBody});
        qputenv("SKERRIN_CHATGPT_URL", m_platform->url("/chat").toUtf8());
        m_runtime.emplace(at("runtime 'ü' $dollar"));
        m_runtime->setEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\nPLATFORM_BASE_URL=" +
                          m_platform->baseUrl().toUtf8() + "\n");
    }
    void languageRule() {
        // Stored value, preferred languages, the language chosen; an empty field is nothing at all.
        for (const char* row : {"zh-Hans en-GB zh-Hans", "en zh-Hans-CN en", "EN zh-Hans-CN zh-Hans",
                                "zh en-GB en", " zh-Hant-HK,en zh-Hans", " en-US,zh-Hans en", "  en"}) {
            const QStringList c = QString::fromLatin1(row).split(QLatin1Char(' '));
            (void)(c[0].isEmpty() ? settings()->remove(SettingsKey::language)
                                  : settings()->setString(SettingsKey::language, c[0]));
            const auto model = makeModel({.preferredLanguages = c[1].split(',', Qt::SkipEmptyParts)});
            QVERIFY2(rawValue(model->language().language()) == c[2], row);
        }
    }
    void standardRootWinsWhenValid() {
        const QString saved = TestRuntime(at(QStringLiteral("my \"rt\" it's $HOME `x` 运行时"))).root();
        (void)settings()->setString(SettingsKey::runtimeRoot, saved);
        for (const QString& entry : RuntimeLayout::requiredEntries) { // without any one, no runtime
            QFile::remove(runtimePath(TestRuntime(standardRuntimeRoot()).root(), entry));
            QVERIFY2(makeModel()->location().runtimeRoot() == saved, qPrintable(entry));
        }
        TestRuntime standard(standardRuntimeRoot());
        standard.setPairingSession(R"({"setup_code":"ABC-123"})");
        auto model = makeModel();
        QCOMPARE(model->location().runtimeRoot(), standard.root());
        QCOMPARE(settings()->string(SettingsKey::runtimeRoot), standard.root());
        QVERIFY(!model->pairing().pairingSession()); // construction reads no session; the loop does, later
        model->language().setLanguage(AppLanguage::chinese);
        QCOMPARE(settings()->string(SettingsKey::language), "zh-Hans");
        QVERIFY(model->pairing().pairingSession());
    }
    void rememberedRootAndBookmark() {
        const QString stick = at("stick/rt");
        // A removable folder is remembered only with its bookmark; a broken internal one is kept.
        for (const auto& [path, bookmark, remembered] :
             {std::tuple(stick, true, true), std::tuple(stick, false, false),
              std::tuple(at(QStringLiteral("gone")), false, true),
              std::tuple(QStringLiteral("/Volumes/NoSuchDisk/rt"), false, false)}) {
            m_home.empty();
            TestRuntime runtime(stick);
            makeModel()->location().updateRuntimeRoot(path, bookmark ? std::optional(path) : std::nullopt);
            QCOMPARE(makeModel()->location().runtimeRoot(), path); // shown either way
            QVERIFY2((settings()->string(SettingsKey::runtimeRoot) == path) == remembered, qPrintable(path));
        }
        // A stale bookmark is renewed while the folder still needs one.
        (void)settings()->setString(SettingsKey::runtimeRoot, stick);
        (void)settings()->setData(SettingsKey::runtimeRootBookmark, fakeBookmark(stick, true));
        QCOMPARE(makeModel()->location().runtimeRootScopedAccessURL().value_or(""), stick);
        QCOMPARE(settings()->data(SettingsKey::runtimeRootBookmark).value_or(""), fakeBookmark(stick));
    }
    void derivedTexts() {
        // Icon, primary action and install button, as the panel shows them.
        const auto shown = [](const Model& m) {
            return statusIconName(m.service().statusIcon()) + '|' + m.primary().primaryActionTitle() + '|' +
                   m.installer().runtimeInstallButtonTitle();
        };
        auto model = makeModel();
        QCOMPARE(shown(*model), "bolt.slash.circle|Install Runtime|Install Runtime");
        TestRuntime runtime(at("rt"));
        model->location().updateRuntimeRoot(runtime.root(), std::nullopt);
        QCOMPARE(shown(*model), "bolt.slash.circle|Pair This Computer|Use Standard Runtime");
        runtime.setEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\n");
        QCOMPARE(shown(*model),
                 "bolt.slash.circle|Pair This Computer|Use Standard Runtime"); // not read again by a getter
        model->location().recompute();
        QCOMPARE(shown(*model), "bolt.slash.circle|Keep Online|Use Standard Runtime");
        ModelSeed(*model).running(true);
        QCOMPARE(shown(*model), "bolt.horizontal.circle.fill|Refresh Status|Use Standard Runtime");
        ModelSeed(*model).busy(true); // busy wins over running
        QCOMPARE(statusIconName(model->service().statusIcon()), "arrow.triangle.2.circlepath.circle.fill");
        ModelSeed(*model).latestOutput("x\ny\n1\r\n2\r3\u20284\u00855\u20296\v7\f8\n\n9\n \n10\n11\n");
        QCOMPARE(model->actions().latestActionSummary(),
                 "1\n2\n3\n4\n5\n6\n7\n8\n9\n \n10\n11"); // last 12 non-empty
        QCOMPARE(makeModel({.shortVersion = " ", .buildNumber = "\t\n"})->maintenance().appVersionText(),
                 "Version unavailable");
        QCOMPARE(model->pairing().pairingExpiresText(), "Expires soon");
        ModelSeed(*model).pairingSession({{}, QDateTime::currentDateTimeUtc().addSecs(10770), {}});
        const QString phrase =
            model->pairing().pairingExpiresText(); // 2 h 59 min, in the system's language: "2 hours"
        QVERIFY2(phrase.contains('2') && !phrase.contains('3'), qPrintable(phrase));
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QString inChinese = relativeTimePhrase(now.addSecs(300), now, "zh_CN");
        QCOMPARE(expiresText(AppLanguage::chinese, inChinese), inChinese + "过期"); // not 后后过期
        QVERIFY(inChinese.endsWith(u'后'));
        QCOMPARE(expiresText(AppLanguage::chinese, "in 5 minutes"), "in 5 minutes后过期");
    }
    void pairingSession_data() {
        QTest::addColumn<QByteArray>("json"); // null: no session file
        QTest::addColumn<QString>("code");    // empty: no session
        const QByteArray complete = R"({"setup_code":" AB-12\n","expires_at":"2999-01-31T20:00:00+08:00"})";
        QTest::newRow("no session file") << QByteArray() << "";
        QTest::newRow("complete") << complete << "AB-12";
        QTest::newRow("no QR image") << complete << "";
        QTest::newRow("blank code") << QByteArray(R"({"setup_code":" \n "})") << "";
        QTest::newRow("expired") << QByteArray(R"({"setup_code":"X","expires_at":"2001-01-31T12:00:00Z"})")
                                 << "";
        QTest::newRow("malformed") << QByteArray(R"({"setup_code":"X")") << "";
        QTest::newRow("not UTF-8") << QByteArray("{\"setup_code\":\"\xff\xfe\"}") << "";
        QTest::newRow("over 1 MiB") << QByteArray(R"({"setup_code":"X"})").leftJustified(2 << 20) << "";
    }
    void pairingSession() {
        QFETCH(QByteArray, json);
        TestRuntime runtime(standardRuntimeRoot());
        if (!json.isNull())
            runtime.setPairingSession(json, qstrcmp(QTest::currentDataTag(), "no QR image") != 0);
        auto model = makeModel();
        ModelSeed(*model).pairingSession(PairingSessionState{"OLD", {}, {}}); // a stale one must go
        model->pairing().refreshPairingSession();
        QTEST(model->pairing().pairingSession().value_or(PairingSessionState{}).setupCode, "code");
    }
    void statusMarkersAndDetail() {
        // The script's output, then the detail shown; no detail: not running, so the line naming the root.
        for (const auto& [output, detail] : std::initializer_list<std::pair<QString, QString>>{
                 {"  CONNECTOR PID: 4242  ", "CONNECTOR PID: 4242"},
                 {"started connector tmux session: brevant", "Desktop service is online."},
                 {"connector already running\nThe Launchd Service is loaded",
                  "The Launchd Service is loaded"},
                 {"launchd service ok\nconnector pid: 9", "connector pid: 9"},
                 {"connector pid: 9\nconnector process not running", ""},
                 {"connector pid: 9\nWARNING: launchd reports running but connector process is missing",
                  "WARNING: launchd reports running but connector process is missing"},
                 {"hello", ""}}) {
            const bool running = connectorIsRunning(output);
            QCOMPARE(summarizeConnectorStatus(output.trimmed(), "/rt", running, AppLanguage::english),
                     detail.isEmpty() ? "Desktop service is not running. Runtime: /rt" : detail);
        }
    }
    void statusRefresh_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("shown"); // summary|detail|diagnostics; <root> is the runtime root
        QTest::newRow("stopped, in Chinese")
            << QByteArray("echo 'connector process not running'")
            << "未运行|桌面服务未运行。Runtime：<root>|connector process not running";
        QTest::newRow("fails") << QByteArray("echo 'status broke' >&2; exit 4")
                               << "Error|status broke\n|status broke\n";
        QTest::newRow("never ends") << QByteArray("kill -STOP $$")
                                    << "Error|Status script did not finish within 1 seconds.|"
                                       "Status script did not finish within 1 seconds.";
        QTest::newRow("no valid root") << QByteArray("echo 'connector pid: 1'")
                                       << "Not configured|Install the standard runtime or choose a "
                                          "Brevant runtime folder.|kept";
    }
    void statusRefresh() {
        QFETCH(QByteArray, script);
        QFETCH(QString, shown);
        m_runtime->setScript(RuntimeLayout::statusScript, script);
        auto model = runtimeModel(30s, 1s);
        const QString tag = QTest::currentDataTag();
        if (tag == "no valid root")
            model->location().updateRuntimeRoot({}, std::nullopt);
        model->language().setLanguage(tag.contains("Chinese") ? AppLanguage::chinese : AppLanguage::english);
        ModelSeed(*model).diagnostics("kept").running(true);
        QCoro::waitFor(model->service().refreshStatus(false));
        QCOMPARE(model->service().statusSummary() + '|' + model->service().statusDetail() + '|' +
                     model->service().statusDiagnostics(),
                 shown.replace("<root>", m_runtime->root()));
        QVERIFY(!model->service().isRunning() && !model->actions().isBusy());
        finish(*model);
    }
    void actionMessages_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("shown"); // transient message | latest output
        QTest::newRow("blank output") << QByteArray("printf '\\n  \\n'")
                                      << "Desktop service start requested.|Desktop service start requested.";
        QTest::newRow("one line") << QByteArray("echo '  started pid: 5  '")
                                  << "Desktop service started.|started pid: 5";
        QTest::newRow("fails with a line")
            << QByteArray("echo 'cannot start'; exit 1") << "cannot start\n|cannot start\n";
    }
    void actionMessages() {
        QFETCH(QByteArray, script);
        m_runtime->setScript(RuntimeLayout::startScript, script);
        m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector pid: 77'\n");
        auto model = runtimeModel();
        QCoro::waitFor(model->service().startConnector());
        QTEST(actionShown(*model), "shown");
        QVERIFY(model->service().isRunning() &&
                !model->actions().isBusy()); // the status is refreshed whatever the outcome
        finish(*model);
    }
    void actionsWithoutValidRoot() {
        auto model = makeModel(); // no runtime anywhere
        QCoro::waitFor(model->service().startConnector());
        QCOMPARE(model->actions().transientMessage().value_or(""), "Choose a valid runtime folder first.");
        QVERIFY(!model->actions().isBusy());
        const auto agent = [&model](QString success, QString description, RootOperation operation) {
            return model->actions().run(agentAction(model->location(), success, "", description, operation));
        };
        QCoro::waitFor(agent("ok", "Running", [](QString, CancelHandle) { return succeedWith("x"); }));
        QCOMPARE(model->actions().transientMessage().value_or(""), "Install the desktop runtime first.");
        // With the standard runtime in place, an agent action runs there instead.
        TestRuntime standard(standardRuntimeRoot());
        model->location().recompute();
        QString seen; // the root the operation got, and the message while it ran
        QCoro::waitFor(agent("Doctor finished.", "Running doctor...", [&](QString root, CancelHandle) {
            seen = root + '|' + model->actions().transientMessage().value_or("");
            return succeedWith("all good\n");
        }));
        QCOMPARE(seen, standard.root() + "|Running doctor...");
        QCOMPARE(actionShown(*model), "Doctor finished.|all good");
        finish(*model);
    }
    void oneActionAtATime() {
        m_runtime->setScript(RuntimeLayout::statusScript, "echo 'connector pid: 1'\n");
        m_runtime->setScript(RuntimeLayout::doctorScript, "sleep 30\n");
        // A slow platform keeps the last refresh step running long enough to look.
        m_platform->setResponse(kStatusPath, {.body = kStatusBody, .delay = 300ms});
        auto model = runtimeModel();
        QCoro::Task<> doctor = model->maintenance().runDoctor();
        QVERIFY(model->actions().isBusy() && model->actions().canCancelCurrentAction());
        // A second action, cancellable or not, is refused: it neither runs nor takes the cancel handle.
        QCoro::waitFor(model->pairing().startPairing());
        QCoro::waitFor(model->service().stopConnector());
        QCOMPARE(model->actions().lastOutcome()->kind, ActionOutcome::Kind::refused);
        QCOMPARE(model->actions().transientMessage().value_or(""), "Another action is running.");
        QVERIFY(model->actions().canCancelCurrentAction());
        model->actions().cancelCurrentAction(); // ends the doctor, the first action
        // Its status refresh does not clear busy while the rest of its refreshes run.
        QVERIFY(QTest::qWaitFor([&] { return model->service().isRunning(); }, 10000));
        QVERIFY(model->actions().isBusy());
        QCoro::waitFor(doctor);
        QVERIFY(!model->actions().isBusy());
        QCOMPARE(actionShown(*model), "Action cancelled.|Action cancelled.");
        QCOMPARE(model->actions().lastOutcome()->kind, ActionOutcome::Kind::cancelled);
        finish(*model);
    }
    void trayLoopReadsTheServiceStatus() {
        // Counts its runs; the service is whatever the file says.
        const QString state = m_home.path() + "/service", runs = m_home.path() + "/runs";
        m_runtime->setScript(RuntimeLayout::statusScript,
                             "echo x >> '" + runs.toUtf8() + "'; cat '" + state.toUtf8() + "'");
        m_runtime->setScript(RuntimeLayout::doctorScript, "sleep 30\n");
        QVERIFY(writeFile(state, "connector pid: 7\n"));
        auto model = runtimeModel(150ms);
        model->watcher().setMode(ServiceWatcher::Mode::tray);
        bool everBusy = false; // a look the user did not ask for never shows as busy
        QObject::connect(&model->actions(), &Published::willChange,
                         [&] { everBusy |= model->actions().isBusy(); });
        QVERIFY(QTest::qWaitFor([&] { return model->service().isRunning(); }, 5000)); // at start-up
        QVERIFY(writeFile(state, "connector process not running\n"));
        QVERIFY(QTest::qWaitFor([&] { return model->service().statusSummary() == "Stopped"; }, 5000));
        QVERIFY(!everBusy);
        // While an action runs the loop leaves the status alone.
        QCoro::Task<> doctor = model->maintenance().runDoctor();
        QTest::qWait(50);
        const qsizetype before = readFile(runs).size();
        QTest::qWait(500);
        QCOMPARE(readFile(runs).size(), before);
        model->actions().cancelCurrentAction();
        QCoro::waitFor(doctor);
        finish(*model);
    }
    void loopRefreshesPeriodicallyAndStopsWhenCancelled() {
        auto model = runtimeModel(150ms);
        // The loop sends nothing else to the platform.
        const auto statusRequests = [this] { return m_platform->requests().size(); };
        QVERIFY(!model->refresher().hasFinishedFirstRefreshPass());
        QCOMPARE(statusRequests(), 0); // construction sends nothing
        QVERIFY(QTest::qWaitFor([&] { return model->refresher().hasFinishedFirstRefreshPass(); }, 5000));
        QCOMPARE(model->pairing().currentPairingSummary(), "Studio • main");
        QVERIFY(QTest::qWaitFor([&] { return statusRequests() >= 3; }, 5000));
        // Cancelled while asleep: the loop ends at once, with no further request.
        QTest::qWait(20);
        const auto asleep = statusRequests(); // cancelling awaits the loop's end, so count before
        QCoro::waitFor(model->refresher().cancelRefreshLoop());
        QTest::qWait(450);
        QCOMPARE(statusRequests(), asleep);
    }
    void setupChecksLoadOffTheGuiThreadOnceAndAreThrottled() {
        const QString log = m_home.path() + "/codex-calls", codex = m_home.path() + "/bin/codex";
        writeScript(codex, "echo call >> '" + log.toUtf8() + "'; sleep 1; echo 'Logged in using ChatGPT'\n");
        m_runtime->setEnv("CODEX_BIN=" + codex.toUtf8() + "\n");
        auto model = runtimeModel();
        QCoro::waitFor(
            model->diagnostics().refreshSetupChecks(true)); // before Advanced: no probe, or it counts twice
        const auto calls = [&log] { return readFile(log).count("call"); };
        // The login probe takes a second; meanwhile the GUI thread keeps serving a 10 ms timer.
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start(10ms);
        QCoro::Task<> first = model->diagnostics().loadDeepSetupChecksIfNeeded();
        QCoro::Task<> second = model->diagnostics().loadDeepSetupChecksIfNeeded();
        QCoro::waitFor(first);
        QCoro::waitFor(second);
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        QCOMPARE(calls(), 1);
        QCOMPARE(model->diagnostics().setupChecks().at(5).detail, "Logged in using ChatGPT");
        ticks = 0; // a forced rebuild after Advanced probes again, also off the GUI thread
        QCoro::waitFor(model->diagnostics().refreshSetupChecks(true));
        QVERIFY2(ticks >= 20 && calls() == 2, qPrintable(QString::number(ticks)));
        // Unforced refreshes inside 30 seconds change nothing.
        QCoro::waitFor(model->diagnostics().refreshConnectivityChecks(true));
        const auto stamps = [&] {
            return std::pair(model->diagnostics().lastSetupCheckAt(),
                             model->diagnostics().lastConnectivityCheckAt());
        };
        const auto last = stamps();
        QCoro::waitFor(model->diagnostics().refreshSetupChecks(false));
        QCoro::waitFor(model->diagnostics().refreshConnectivityChecks(false));
        QCOMPARE(stamps(), last);
        finish(*model);
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
