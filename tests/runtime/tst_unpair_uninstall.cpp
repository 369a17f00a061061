// SPDX-License-Identifier: MIT
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

// Unpairing and uninstalling, against a runtime whose scripts record what they were given.
class TestUnpairUninstall : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    std::optional<TestRuntime> m_runtime;
    std::unique_ptr<Model> m_model;
    QString m_log;

    QString shown() const {
        return m_model->transientMessage().value_or("") + '|' + m_model->latestActionOutput();
    }
    QString log() const {
        QFile file(m_log);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
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

    void unpair_data() {
        QTest::addColumn<QByteArray>("script"); // null: missing
        QTest::addColumn<QString>("shown");
        QTest::newRow("prints") << QByteArray("echo \" removed [$#] \"")
                                << "Current desktop pairing removed.|removed [0]";
        QTest::newRow("only white space, in Chinese")
            << QByteArray("printf ' \\n\\t'") << "已请求移除当前桌面配对。|已请求移除当前桌面配对。";
        QTest::newRow("fails silently") << QByteArray("exit 1") << "Command failed.|Command failed.";
        QTest::newRow("missing") << QByteArray() << "No such file";
    }
    void unpair() {
        QFETCH(QByteArray, script);
        QFETCH(QString, shown);
        if (!script.isNull())
            m_runtime->setScript(RuntimeLayout::unpairScript, script);
        m_model->setLanguage(QString(QTest::currentDataTag()).contains("Chinese") ? AppLanguage::chinese
                                                                                  : AppLanguage::english);
        QCoro::waitFor(m_model->unpairCurrentInstallation());
        QVERIFY2(this->shown().contains(shown), qPrintable(this->shown()));
        QCOMPARE(log(), "status\n"); // refreshed afterwards
    }
    void uninstallNeedsARuntime() {
        m_model->updateRuntimeRoot(m_home.path() + "/nothing", std::nullopt);
        m_model->setLanguage(AppLanguage::chinese);
        QCoro::waitFor(m_model->uninstallDesktopRuntime());
        QCOMPARE(shown(), "请先安装桌面 Runtime。|No setup action run yet.");
        QVERIFY(!m_model->isBusy());
    }
    void uninstall_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("succeeds silently") << QByteArray("exit 0");
        QTest::newRow("fails") << QByteArray("echo 'cannot remove' >&2; exit 2");
    }
    void uninstall() {
        QFETCH(QByteArray, script);
        const bool succeeds = script == "exit 0";
        const QString entry = m_home.configHome() + "/autostart/skerrin.desktop";
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

        QVERIFY(!m_model->launchAtLoginEnabled() && !QFile::exists(entry));
        QVERIFY(!m_model->isBusy());
        const QString state = m_model->runtimeRoot() + '|' + QString::number(m_model->setupChecks().size()) +
                              '|' + QString::number(m_model->connectivityChecks().size()) + '|' +
                              (m_model->pairingSession() ? "session" : "") + '|' +
                              m_model->currentPhoneSummary() + m_model->currentPairingSummary() + '|' +
                              (m_model->isRunning() ? "running" : "") + '|' + m_model->statusSummary() + '|' +
                              m_model->statusDetail();
        const auto settings = makeSettingsStore();
        if (succeeds) {
            QCOMPARE(log(), "2|--remove-app-bundle|/opt/skerrin/skerrin|off\n");
            QCOMPARE(shown(), "Desktop runtime uninstall requested.|");
            QCOMPARE(state, "|0|0||||Not configured|Desktop runtime removed from this Mac.");
            QVERIFY(!settings->string(SettingsKey::runtimeRoot) &&
                    !settings->data(SettingsKey::runtimeRootBookmark));
            QVERIFY(quit.wait(3000));
            QVERIFY2(timer.elapsed() >= 450, qPrintable(QString::number(timer.elapsed())));
        } else {
            QCOMPARE(log(), "2|--remove-app-bundle|/opt/skerrin/skerrin|off\nstatus\n");
            QCOMPARE(shown(), "cannot remove\n|cannot remove\n");
            QCOMPARE(settings->string(SettingsKey::runtimeRoot), m_runtime->root());
            // Refreshed: the seeded running state, session and summaries are gone, the runtime stays.
            QCOMPARE(state, m_runtime->root() + "|9|1||||Stopped|Desktop service is not running. Runtime: " +
                                m_runtime->root());
            QVERIFY(!quit.wait(1000));
        }
    }
};

QTEST_GUILESS_MAIN(TestUnpairUninstall)
#include "tst_unpair_uninstall.moc"
