// SPDX-License-Identifier: MIT
#include "SkerrinDesktopEntry.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/SettingsKeys.h"
#include "support/FakeServices.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using Model = ConnectorMenuBarModel;

// Uninstalling, against a runtime whose scripts record what they were given. Unpairing is a runner
// action, driven through the command line.
class TestUnpairUninstall : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    std::optional<TestRuntime> m_runtime;
    std::unique_ptr<Model> m_model;
    QString m_log;

    QString shown() const {
        return m_model->transientMessage().value_or("") + '|' + m_model->latestActionOutput();
    }

private slots:
    void init() {
        m_home.empty();
        qputenv("SKERRIN_CHATGPT_URL", "http://127.0.0.1:1/");
        m_log = m_home.path() + "/calls";
        m_runtime.emplace(m_home.path() + "/runtime 'ü' $x");
        m_runtime->setScript(RuntimeLayout::statusScript, "echo status >> '" + m_log.toUtf8() + "'");
        m_model = std::make_unique<Model>(makeTestServices());
        m_model->updateRuntimeRoot(m_runtime->root(), std::nullopt);
    }
    void cleanup() { QCoro::waitFor(m_model->cancelRefreshLoop()); }

    void uninstallNeedsARuntime() {
        m_model->updateRuntimeRoot(m_home.path() + "/nothing", std::nullopt);
        m_model->setLanguage(AppLanguage::chinese);
        QCoro::waitFor(m_model->uninstallDesktopRuntime());
        QCOMPARE(shown(), "请先安装桌面 Runtime。|No setup action run yet.");
        QVERIFY(!m_model->isBusy() && !QFile::exists(m_log));
    }
    void uninstall_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("succeeds silently") << QByteArray("exit 0");
        QTest::newRow("fails") << QByteArray("echo 'cannot remove' >&2; exit 2");
    }
    void uninstall() {
        QFETCH(QByteArray, script);
        const bool succeeds = script == "exit 0";
        const QString entry = m_home.configHome() + "/autostart/" + desktopEntryFileName;
        // Records its arguments and whether launch at login was still on.
        const QByteArray record =
            "echo \"$#|$1|$2|$([ -e '" + entry.toUtf8() + "' ] && echo on || echo off)\"";
        m_runtime->setScript(RuntimeLayout::uninstallScript,
                             record + " >> '" + m_log.toUtf8() + "'\n" + script);
        m_model->setLaunchAtLogin(true);
        ModelSeed(*m_model)
            .running(true)
            .pairingSession({"CODE", {}, {}})
            .platformSummaries("Phone", "Studio");
        QCoro::waitFor(m_model->refreshSetupChecks(true));
        QCoro::waitFor(m_model->refreshConnectivityChecks(true));
        QSignalSpy quit(m_model.get(), &Model::quitRequested);
        QElapsedTimer timer;
        timer.start();
        QCoro::waitFor(m_model->uninstallDesktopRuntime());

        QVERIFY(!m_model->launchAtLoginEnabled() && !QFile::exists(entry) && !m_model->isBusy());
        const QString root = m_model->runtimeRoot();
        const QString state = QString("%1|%2|%3|%4|%5%6|%7|%8|%9")
                                  .arg(root)
                                  .arg(m_model->setupChecks().size())
                                  .arg(m_model->connectivityChecks().size())
                                  .arg(m_model->pairingSession() ? "session" : "")
                                  .arg(m_model->currentPhoneSummary(), m_model->currentPairingSummary())
                                  .arg(m_model->isRunning() ? "running" : "")
                                  .arg(m_model->statusSummary(), m_model->statusDetail());
        const auto settings = makeSettingsStore();
        if (succeeds) {
            QCOMPARE(readFile(m_log), "2|--remove-app-bundle|/opt/skerrin/skerrin|off\n"); // and no refresh
            QCOMPARE(shown(), "Desktop runtime uninstall requested.|");
            QCOMPARE(state, "|0|0||||Not configured|Desktop runtime removed from this Mac.");
            QVERIFY(!settings->string(SettingsKey::runtimeRoot) &&
                    !settings->data(SettingsKey::runtimeRootBookmark));
            QVERIFY(quit.wait(3000) && timer.elapsed() >= 450);
        } else {
            QCOMPARE(readFile(m_log), "2|--remove-app-bundle|/opt/skerrin/skerrin|off\nstatus\n");
            QCOMPARE(shown(), "cannot remove\n|cannot remove\n");
            QCOMPARE(settings->string(SettingsKey::runtimeRoot), m_runtime->root());
            // Refreshed: the seeded running state, session and summaries are gone; the runtime stays.
            QCOMPARE(state, root + "|9|1||||Stopped|Desktop service is not running. Runtime: " + root);
            QVERIFY(!quit.wait(1000));
        }
    }
};

QTEST_GUILESS_MAIN(TestUnpairUninstall)
#include "tst_unpair_uninstall.moc"
