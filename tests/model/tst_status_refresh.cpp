// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "model/StatusRefresh.h"
#include "runtime/RuntimeLayout.h"
#include "support/FakeServices.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QTest>

using namespace skerrin;
using namespace skerrin::test;

QString shown(const ConnectorMenuBarModel& model) {
    return model.statusSummary() + '|' + model.statusDetail() + '|' + model.statusDiagnostics();
}

class TestStatusRefresh : public QObject {
    Q_OBJECT
    TemporaryHome m_home;

private slots:
    void init() { m_home.clearSettings(); }
    void markersAndDetail_data() {
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
    void markersAndDetail() {
        QFETCH(QString, output);
        QFETCH(QString, detail);
        const bool running = connectorIsRunning(output);
        QCOMPARE(summarizeConnectorStatus(output.trimmed(), "/rt", running, AppLanguage::english),
                 detail.isEmpty() ? "Desktop service is not running. Runtime: /rt" : detail);
    }
    void refreshRunsTheStatusScript_data() {
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
    void refreshRunsTheStatusScript() {
        QFETCH(QByteArray, script);
        QFETCH(QString, shown);
        TestRuntime runtime(m_home.path() + "/rt with 'quotes' and $dollar");
        runtime.setScript(RuntimeLayout::statusScript, script);
        ConnectorMenuBarModel model(makeTestServices());
        model.updateRuntimeRoot(runtime.root(), std::nullopt);
        ModelSeed(model).language(QString(QTest::currentDataTag()).contains("Chinese")
                                      ? AppLanguage::chinese
                                      : AppLanguage::english);
        QCoro::waitFor(model.refreshStatus(false));
        QCOMPARE(::shown(model), shown.replace("<root>", runtime.root()));
        QVERIFY(!model.isBusy());
    }
    void noValidRootRunsNothing() {
        ConnectorMenuBarModel model(makeTestServices());
        ModelSeed(model).diagnostics("kept").running(true);
        QCoro::waitFor(model.refreshStatus(false));
        QCOMPARE(shown(model),
                 "Not configured|Install the standard runtime or choose a Brevant runtime folder.|kept");
        QVERIFY(!model.isRunning());
        model.updateRuntimeRoot(m_home.path(), std::nullopt); // a folder, but not a runtime
        QCoro::waitFor(model.refreshStatus(false));
        QCOMPARE(shown(model), "Not configured|Selected folder does not look like a Brevant runtime.|kept");
    }
};

QTEST_GUILESS_MAIN(TestStatusRefresh)
#include "tst_status_refresh.moc"
