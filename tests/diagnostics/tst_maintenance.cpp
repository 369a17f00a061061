// SPDX-License-Identifier: MIT
#include "SkerrinDesktopEntry.h"
#include "diagnostics/CodexLogin.h"
#include "diagnostics/CodexProbes.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/SettingsKeys.h"
#include "support/FakeServices.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QElapsedTimer>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using Model = ConnectorMenuBarModel;

// The Codex login in a terminal, logs, copy, launch at login, the login probe's bound. Setup and
// doctor are runner actions, driven through the command line.
class TestMaintenance : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    FakeDesktop m_desktop;
    std::optional<TestRuntime> m_runtime;
    std::unique_ptr<Model> m_model;

    QString at(const QString& name) const { return m_home.path() + '/' + name; }
    QString shown() const {
        return m_model->transientMessage().value_or("") + '|' + m_model->latestActionOutput();
    }

private slots:
    void init() {
        m_home.empty();
        qputenv("SKERRIN_CHATGPT_URL", "http://127.0.0.1:1/"); // refreshes fail fast, offline
        m_runtime.emplace(at(QStringLiteral("O'Brien \"q\" \\ $HOME ü")));
        m_desktop = {};
        m_model = std::make_unique<Model>(makeTestServices(m_desktop));
        m_model->updateRuntimeRoot(m_runtime->root(), std::nullopt);
    }
    void cleanup() { QCoro::waitFor(m_model->cancelRefreshLoop()); }

    void codexLoginRunsInATerminal_data() {
        QTest::addColumn<QByteArray>("env");  // config/.env; null: none
        QTest::addColumn<QString>("setting"); // connectorMenuBar.codexBin; empty: absent
        QTest::addColumn<QString>("used");    // which fake Codex ran; empty: the bare word, unfound
        const auto row = [](const char* name, QByteArray env, QString setting, QString used) {
            QTest::newRow(name) << env << setting << used;
        };
        row("CODEX_BIN wins", "CODEX_BIN=<env>\n", "<set>", "<env>");
        row("empty CODEX_BIN hides the setting", "CODEX_BIN=\n", "<set>", "<path>");
        row("no .env", QByteArray(), "<set>", "<set>");
        row("empty .env", "", "<set>", "<set>");
        row("setting not executable", QByteArray(), "<plain>", "<path>");
        row("none found, in Chinese", QByteArray(), "", "");
    }
    void codexLoginRunsInATerminal() {
        QFETCH(QByteArray, env);
        QFETCH(QString, setting);
        QFETCH(QString, used);
        const QString log = at("codex.log"), bin = at("bin ' \"x\""), terminalLog = at("terminal.log");
        const QHash<QString, QString> codex{{"<env>", at("env's codex")},
                                            {"<set>", at("set $codex")},
                                            {"<path>", bin + "/codex"},
                                            {"<plain>", at("plain")}};
        for (const QString& path : codex)
            writeScript(path, "echo \"$0|$PWD|$CONFIG_ENV_FILE|$*\" > '" + log.toUtf8() + "'");
        QFile::setPermissions(codex.value("<plain>"), QFile::ReadOwner);
        if (!env.isNull())
            m_runtime->setEnv(env.replace("<env>", codex.value("<env>").toUtf8()));
        if (!setting.isEmpty())
            (void)makeSettingsStore()->setString(SettingsKey::codexBin, codex.value(setting));
        // The terminal runs bash's part at once and without input, as if Enter were pressed.
        writeScript(at("term"), "echo \"$*\" > '" + terminalLog.toUtf8() + "'; \"${@:2}\" </dev/null");
        const ScopedEnv terminal("TERMINAL", at("term").toUtf8());
        const ScopedEnv path("PATH", (used.isEmpty() ? "/usr/bin:/bin" : bin + ":/usr/bin:/bin").toUtf8());
        m_model->setLanguage(used.isEmpty() ? AppLanguage::chinese : AppLanguage::english);
        QCoro::waitFor(m_model->openCodexLoginInTerminal());
        QCOMPARE(m_model->transientMessage().value_or(""),
                 used.isEmpty() ? "已打开 Terminal 进行 Codex 登录。" : "Opened Terminal for Codex login.");
        const QString root = m_runtime->root();
        const QByteArray expected =
            used.isEmpty()
                ? "/config/.env' 'codex' login --device-auth\n"
                : (codex.value(used) + '|' + root + '|' + root + "/config/.env|login --device-auth\n")
                      .toUtf8();
        QVERIFY(QTest::qWaitFor(
            [&] { return readFile(used.isEmpty() ? terminalLog : log).contains(expected); }, 5000));
    }
    void copyAndOpenLogs() {
        for (const char* output : {" raw\n", ""})
            ModelSeed(*m_model).latestOutput(output), m_model->copyLatestOutput();
        QCOMPARE(*m_desktop.copied, QStringList({" raw\n", ""}));
        QCOMPARE(m_model->transientMessage().value_or(""), "Copied latest output.");
        m_model->openLogsFolder();
        m_model->updateRuntimeRoot("", std::nullopt); // no valid root: the standard one, unchecked
        m_model->openLogsFolder();
        QCOMPARE(*m_desktop.opened,
                 QList<QUrl>({QUrl::fromLocalFile(m_runtime->root() + "/state"),
                              QUrl::fromLocalFile(Model::standardRuntimeRoot() + "/state")}));
    }
    void launchAtLoginFailures() {
        const QString folder = m_home.configHome() + "/autostart",
                      entry = folder + "/" + desktopEntryFileName;
        writeFile(folder, ""); // a file where the folder goes: switching on fails, the toggle stays off
        m_model->setLaunchAtLogin(true);
        QCOMPARE(shown(),
                 "Failed to change sign-in launch: Could not create the autostart folder.|No setup action "
                 "run yet.");
        QVERIFY(!m_model->launchAtLoginEnabled());
        QFile::remove(folder);
        m_model->setLaunchAtLogin(true);
        QVERIFY(m_model->launchAtLoginEnabled() && QFile::exists(entry));
        // The entry becomes a folder that cannot be removed: switching off fails, and the toggle
        // shows what the system now holds, as a new model reads it.
        QVERIFY(QFile::remove(entry) && writeFile(entry + "/x", ""));
        m_model->setLanguage(AppLanguage::chinese);
        m_model->setLaunchAtLogin(false);
        QVERIFY(m_model->transientMessage().value_or("").startsWith("修改登录后启动失败："));
        QVERIFY(!m_model->launchAtLoginEnabled() && !Model(makeTestServices()).launchAtLoginEnabled());
    }
    void loginProbeIsBounded() {
        writeScript(at("codex"), "sleep 60 & wait");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(codexLoginStatus(at("codex")), (ProbeResult{false, "codex login status timed out"}));
        QVERIFY2(timer.elapsed() > 9000 && timer.elapsed() < 30000,
                 qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
