// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "model/StatusRefresh.h"
#include "runtime/RuntimeLayout.h"
#include "support/FakeServices.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QTest>

#include <QCoroTask>

using namespace skerrin;
using namespace skerrin::test;

class TestStatusRefresh : public QObject {
    Q_OBJECT

private slots:
    void init() { m_home.clearSettings(); }
    void markersAndDetail_data();
    void markersAndDetail();
    void refreshRunsTheStatusScript_data();
    void refreshRunsTheStatusScript();
    void noValidRootRunsNothing();

private:
    TemporaryHome m_home;
};

void TestStatusRefresh::markersAndDetail_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("detail");
    const QString notRunning = QStringLiteral("Desktop service is not running. Runtime: /rt");
    QTest::newRow("pid line any case") << "  CONNECTOR PID: 4242  " << true << "CONNECTOR PID: 4242";
    QTest::newRow("tmux session") << "started connector tmux session: brevant" << true
                                  << "Desktop service is online.";
    QTest::newRow("already running, launchd line")
        << "connector already running\nThe Launchd Service is loaded" << true
        << "The Launchd Service is loaded";
    QTest::newRow("pid line wins over launchd line")
        << "launchd service ok\nconnector pid: 9" << true << "connector pid: 9";
    QTest::newRow("running and not-running markers")
        << "connector pid: 9\nconnector process not running" << false << notRunning;
    QTest::newRow("warning becomes detail")
        << "connector pid: 9\nWARNING: launchd reports running but connector process is missing" << false
        << "WARNING: launchd reports running but connector process is missing";
    QTest::newRow("stale pid file") << "pid file exists but process is not running" << false << notRunning;
    QTest::newRow("no marker") << "hello" << false << notRunning;
}

void TestStatusRefresh::markersAndDetail() {
    QFETCH(QString, output);
    QFETCH(bool, running);
    QFETCH(QString, detail);
    QCOMPARE(connectorIsRunning(output), running);
    QCOMPARE(summarizeConnectorStatus(output.trimmed(), QStringLiteral("/rt"), running, AppLanguage::english),
             detail);
}

void TestStatusRefresh::refreshRunsTheStatusScript_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("diagnostics");
    QTest::newRow("running") << QByteArray("echo ' connector pid: 12 '\n") << false << "Running"
                             << "connector pid: 12"
                             << "connector pid: 12";
    QTest::newRow("running, chinese")
        << QByteArray("echo 'started connector tmux session: x'\n") << true << "运行中"
        << "桌面服务已在线。"
        << "started connector tmux session: x";
    QTest::newRow("stopped, chinese")
        << QByteArray("echo 'connector process not running'\n") << true << "未运行"
        << "桌面服务未运行。Runtime：<root>"
        << "connector process not running";
    QTest::newRow("silent failure") << QByteArray("exit 1\n") << false << "Error"
                                    << "Command failed."
                                    << "Command failed.";
    QTest::newRow("failure with text") << QByteArray("echo 'status broke' >&2; exit 4\n") << false << "Error"
                                       << "status broke\n"
                                       << "status broke\n";
    QTest::newRow("killed by a signal") << QByteArray("kill -9 $$\n") << false << "Error"
                                        << "Command failed."
                                        << "Command failed.";
    QTest::newRow("invalid UTF-8 counts as empty")
        << QByteArray("printf 'connector pid: \\xff'\n") << false << "Stopped"
        << "Desktop service is not running. Runtime: <root>"
        << "";
}

void TestStatusRefresh::refreshRunsTheStatusScript() {
    QFETCH(QByteArray, script);
    QFETCH(bool, chinese);
    QFETCH(QString, summary);
    QFETCH(QString, detail);
    QFETCH(QString, diagnostics);
    TestRuntime runtime(m_home.path() + QStringLiteral("/rt with 'quotes' and $dollar"));
    runtime.setScript(RuntimeLayout::statusScript, script);
    ConnectorMenuBarModel model(makeTestServices());
    model.updateRuntimeRoot(runtime.root(), std::nullopt);
    ModelSeed(model).language(chinese ? AppLanguage::chinese : AppLanguage::english);
    QCoro::waitFor(model.refreshStatus(false));
    QCOMPARE(model.statusSummary(), summary);
    QCOMPARE(model.statusDetail(), QString(detail).replace(QStringLiteral("<root>"), runtime.root()));
    QCOMPARE(model.statusDiagnostics(), diagnostics);
    QCOMPARE(model.isRunning(), summary == QLatin1String("Running") || summary == QStringLiteral("运行中"));
    QVERIFY(!model.isBusy());
}

void TestStatusRefresh::noValidRootRunsNothing() {
    ConnectorMenuBarModel model(makeTestServices());
    ModelSeed(model).diagnostics(QStringLiteral("kept")).running(true);
    QCoro::waitFor(model.refreshStatus(false));
    QCOMPARE(model.statusSummary(), QStringLiteral("Not configured"));
    QCOMPARE(model.statusDetail(),
             QStringLiteral("Install the standard runtime or choose a Brevant runtime folder."));
    QCOMPARE(model.statusDiagnostics(), QStringLiteral("kept"));
    QVERIFY(!model.isRunning());

    const QString folder = m_home.path() + QStringLiteral("/not-a-runtime");
    QDir().mkpath(folder);
    model.updateRuntimeRoot(folder, folder);
    ModelSeed(model).language(AppLanguage::chinese);
    QCoro::waitFor(model.refreshStatus(false));
    QCOMPARE(model.statusDetail(), QStringLiteral("当前选择的目录看起来不像 Brevant Runtime。"));
    QCOMPARE(model.statusSummary(), QStringLiteral("Not configured"));
}

QTEST_GUILESS_MAIN(TestStatusRefresh)
#include "tst_status_refresh.moc"
