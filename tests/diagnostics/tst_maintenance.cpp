// SPDX-License-Identifier: MIT
#include "SkerrinDesktopEntry.h"
#include "support/ModelTest.h"

#include <QElapsedTimer>
#include <QSignalSpy>

// The Codex login in a terminal, logs, copy, launch at login and uninstalling, against a runtime whose
// status script records each run. Setup, doctor and unpair are runner actions, driven through the
// command line.
class TestMaintenance : public ModelCase {
    Q_OBJECT
    QString m_log; // what the runtime's scripts were given, in order

    QString at(const QString& name) const { return m_home.path() + '/' + name; }

private slots:
    void init() {
        startModel(QStringLiteral("O'Brien \"q\" \\ $HOME ü"));
        m_log = at("calls");
        m_runtime->setScript(RuntimeLayout::statusScript, "echo status >> '" + m_log.toUtf8() + "'");
    }
    void cleanup() { endModel(); }

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
        m_model->language().setLanguage(used.isEmpty() ? AppLanguage::chinese : AppLanguage::english);
        QCoro::waitFor(m_model->maintenance().openCodexLoginInTerminal());
        QCOMPARE(m_model->actions().transientMessage().value_or(""),
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
            ModelSeed(*m_model).latestOutput(output), m_model->maintenance().copyLatestOutput();
        QCOMPARE(*m_desktop.copied, QStringList({" raw\n", ""}));
        QCOMPARE(m_model->actions().transientMessage().value_or(""), "Copied latest output.");
        m_model->maintenance().openLogsFolder();
        m_model->location().updateRuntimeRoot("", std::nullopt); // no valid root: the standard one, unchecked
        m_model->maintenance().openLogsFolder();
        QCOMPARE(*m_desktop.opened, QList<QUrl>({QUrl::fromLocalFile(m_runtime->root() + "/state"),
                                                 QUrl::fromLocalFile(standardRuntimeRoot() + "/state")}));
    }
    void launchAtLoginFailures() {
        const QString folder = m_home.configHome() + "/autostart",
                      entry = folder + "/" + desktopEntryFileName;
        writeFile(folder, ""); // a file where the folder goes: switching on fails, the toggle stays off
        m_model->maintenance().setLaunchAtLogin(true);
        QCOMPARE(actionShown(*m_model),
                 "Failed to change sign-in launch: Could not create the autostart folder.|No setup action "
                 "run yet.");
        QVERIFY(!m_model->maintenance().launchAtLoginEnabled());
        QFile::remove(folder);
        m_model->maintenance().setLaunchAtLogin(true);
        QVERIFY(m_model->maintenance().launchAtLoginEnabled() && QFile::exists(entry));
        // The entry becomes a folder that cannot be removed: switching off fails, and the toggle
        // shows what the system now holds, as a new model reads it.
        QVERIFY(QFile::remove(entry) && writeFile(entry + "/x", ""));
        m_model->language().setLanguage(AppLanguage::chinese);
        m_model->maintenance().setLaunchAtLogin(false);
        QVERIFY(m_model->actions().transientMessage().value_or("").startsWith("修改登录后启动失败："));
        QVERIFY(!m_model->maintenance().launchAtLoginEnabled() &&
                !Model(makeTestServices()).maintenance().launchAtLoginEnabled());
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
        m_model->maintenance().setLaunchAtLogin(true);
        ModelSeed(*m_model)
            .running(true)
            .pairingSession({"CODE", {}, {}})
            .platformSummaries("Phone", "Studio");
        QCoro::waitFor(m_model->diagnostics().refreshSetupChecks(true));
        QCoro::waitFor(m_model->diagnostics().refreshConnectivityChecks(true));
        QSignalSpy quit(&m_model->maintenance(), &Maintenance::quitRequested);
        QElapsedTimer timer;
        timer.start();
        QCoro::waitFor(m_model->maintenance().uninstallDesktopRuntime());

        QVERIFY(!m_model->maintenance().launchAtLoginEnabled() && !QFile::exists(entry) &&
                !m_model->actions().isBusy());
        const QString root = m_model->location().runtimeRoot();
        const QString state =
            QString("%1|%2|%3|%4|%5%6|%7|%8|%9")
                .arg(root, QString::number(m_model->diagnostics().setupChecks().size()),
                     QString::number(m_model->diagnostics().connectivityChecks().size()),
                     m_model->pairing().pairingSession() ? "session" : "",
                     m_model->pairing().currentPhoneSummary(), m_model->pairing().currentPairingSummary(),
                     m_model->service().isRunning() ? "running" : "", m_model->service().statusSummary(),
                     m_model->service().statusDetail());
        const auto settings = makeSettingsStore();
        if (succeeds) {
            QCOMPARE(readFile(m_log), "2|--remove-app-bundle|/opt/skerrin/skerrin|off\n"); // and no refresh
            QCOMPARE(actionShown(*m_model), "Desktop runtime uninstall requested.|");
            QCOMPARE(state, "|0|0||||Not configured|Desktop runtime removed from this computer.");
            QVERIFY(!settings->string(SettingsKey::runtimeRoot) &&
                    !settings->data(SettingsKey::runtimeRootBookmark));
            QVERIFY(quit.wait(3000) && timer.elapsed() >= 450);
        } else {
            QCOMPARE(readFile(m_log), "2|--remove-app-bundle|/opt/skerrin/skerrin|off\nstatus\n");
            QCOMPARE(actionShown(*m_model), "cannot remove\n|cannot remove\n");
            QCOMPARE(settings->string(SettingsKey::runtimeRoot), m_runtime->root());
            // Refreshed: the seeded running state, session and summaries are gone; the runtime stays.
            QCOMPARE(state, root + "|9|1||||Stopped|Desktop service is not running. Runtime: " + root);
            QVERIFY(!quit.wait(1000));
        }
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
