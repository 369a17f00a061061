// SPDX-License-Identifier: MIT
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

QString contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Setup, doctor, the Codex login in a terminal, logs, copy, launch at login, and the login probe's bound.
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

    void loginCommandQuotesEachValue() {
        QCOMPARE(codexLoginCommand("/h/O'Brien", "/h/O'Brien/config/.env", "/b/co dex"),
                 "cd '/h/O'\\''Brien' && CONFIG_ENV_FILE='/h/O'\\''Brien/config/.env' '/b/co dex' login "
                 "--device-auth");
        QCOMPARE(shellQuoted("a\"b\\c$d `e` ü"), "'a\"b\\c$d `e` ü'");
    }
    void codexLoginRunsInATerminal_data() {
        QTest::addColumn<QByteArray>("env");  // config/.env; null: none
        QTest::addColumn<QString>("setting"); // connectorMenuBar.codexBin; empty: absent
        QTest::addColumn<QString>("used");    // which fake Codex ran; empty: the bare word was used
        QTest::newRow("CODEX_BIN wins") << QByteArray("CODEX_BIN=<env>\n") << "<set>"
                                        << "<env>";
        QTest::newRow("empty CODEX_BIN hides the setting") << QByteArray("CODEX_BIN=\n") << "<set>"
                                                           << "<path>";
        QTest::newRow("no .env") << QByteArray() << "<set>"
                                 << "<set>";
        QTest::newRow("empty .env") << QByteArray("") << "<set>"
                                    << "<set>";
        QTest::newRow("setting not executable") << QByteArray() << "<plain>"
                                                << "<path>";
        QTest::newRow("none found") << QByteArray() << ""
                                    << "";
    }
    void codexLoginRunsInATerminal() {
        QFETCH(QByteArray, env);
        QFETCH(QString, setting);
        QFETCH(QString, used);
        const QString log = at("codex.log"), bin = at("bin ' \"x\""), terminalLog = at("terminal.log");
        const QHash<QString, QString> codex{{"<env>", at("env's codex 'O'")},
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
        const ScopedEnv path("PATH", (used == "" ? "/usr/bin:/bin" : bin + ":/usr/bin:/bin").toUtf8());
        m_model->setLanguage(used == "" ? AppLanguage::chinese : AppLanguage::english);
        QCoro::waitFor(m_model->openCodexLoginInTerminal());
        QCOMPARE(m_model->transientMessage().value_or(""),
                 used == "" ? "已打开 Terminal 进行 Codex 登录。" : "Opened Terminal for Codex login.");
        QVERIFY(QTest::qWaitFor([&] { return !contents(terminalLog).isEmpty(); }, 5000));
        if (used == "")
            QVERIFY(contents(terminalLog).contains(".env' 'codex' login --device-auth\n"));
        else
            QVERIFY(QTest::qWaitFor(
                [&] {
                    return contents(log) == codex.value(used) + '|' + m_runtime->root() + '|' +
                                                m_runtime->root() + "/config/.env|login --device-auth\n";
                },
                5000));
    }
    void codexLoginWithoutATerminal() {
        const ScopedEnv terminal("TERMINAL", ""), path("PATH", "/usr/bin:/bin");
        m_model->setLanguage(AppLanguage::chinese);
        QCoro::waitFor(m_model->openCodexLoginInTerminal());
        QCOMPARE(m_model->transientMessage().value_or(""), "Failed to open Terminal.");
    }
    void setupAndDoctor_data() {
        QTest::addColumn<bool>("setup");
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("shown"); // message|output; <root> is the runtime root
        QTest::newRow("setup's arguments and folder") << true << QByteArray("echo \"[$*] $PWD\"")
                                                      << "Desktop setup completed.|[--target desktop] <root>";
        QTest::newRow("setup prints nothing")
            << true << QByteArray("echo '  '") << "Desktop setup finished.|Desktop setup finished.";
        QTest::newRow("doctor gets no arguments")
            << false << QByteArray("echo \"[$#]\"") << "Doctor passed.|[0]";
        QTest::newRow("doctor prints nothing, in Chinese")
            << false << QByteArray("") << "诊断完成。|诊断完成。";
        QTest::newRow("doctor fails")
            << false << QByteArray("echo 'node missing' >&2; exit 3") << "node missing\n|node missing\n";
        QTest::newRow("doctor prints 3 MB") << false << QByteArray("head -c 3000000 /dev/zero | tr '\\0' x")
                                            << "Doctor passed.|" + QString(3000000, 'x');
        QTest::newRow("setup script missing")
            << true << QByteArray() << "Install the desktop runtime first.|No setup action run yet.";
    }
    void setupAndDoctor() {
        QFETCH(bool, setup);
        QFETCH(QByteArray, script);
        QFETCH(QString, shown);
        const QString relative = setup ? RuntimeLayout::installScript : RuntimeLayout::doctorScript;
        script.isNull() ? (void)QFile::remove(runtimePath(m_runtime->root(), relative))
                        : m_runtime->setScript(relative, script);
        m_model->setLanguage(QString(QTest::currentDataTag()).contains("Chinese") ? AppLanguage::chinese
                                                                                  : AppLanguage::english);
        QCoro::waitFor(setup ? m_model->runDesktopSetup() : m_model->runDoctor());
        QCOMPARE(this->shown(), shown.replace("<root>", m_runtime->root()));
        QVERIFY(!m_model->isBusy());
    }
    void copyAndOpenLogs() {
        ModelSeed(*m_model).latestOutput(" raw\n");
        m_model->copyLatestOutput();
        ModelSeed(*m_model).latestOutput("");
        m_model->setLanguage(AppLanguage::chinese);
        m_model->copyLatestOutput();
        QCOMPARE(*m_desktop.copied, QStringList({" raw\n", ""}));
        QCOMPARE(m_model->transientMessage().value_or(""), "已复制最新输出。");
        m_model->openLogsFolder();
        m_model->updateRuntimeRoot("", std::nullopt); // no valid root: the standard one, unchecked
        m_model->openLogsFolder();
        QCOMPARE(*m_desktop.opened,
                 QList<QUrl>({QUrl::fromLocalFile(m_runtime->root() + "/state"),
                              QUrl::fromLocalFile(Model::standardRuntimeRoot() + "/state")}));
    }
    void launchAtLogin_data() {
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QString>("blocker"); // what stands where the autostart folder or entry goes
        QTest::addColumn<QString>("message"); // empty: none
        QTest::newRow("on") << true << ""
                            << "";
        QTest::newRow("off") << false << ""
                             << "";
        QTest::newRow("a file in place of the folder")
            << true << "autostart"
            << "Failed to change sign-in launch: Could not create the autostart folder.";
        QTest::newRow("entry cannot be removed, in Chinese") << false << "autostart/skerrin.desktop/x"
                                                             << "修改登录后启动失败：";
    }
    void launchAtLogin() {
        QFETCH(bool, enable);
        QFETCH(QString, blocker);
        QFETCH(QString, message);
        m_model->setLaunchAtLogin(!enable);
        QCOMPARE(m_model->launchAtLoginEnabled(), !enable);
        if (!blocker.isEmpty()) {
            QDir(m_home.configHome() + "/autostart").removeRecursively();
            writeFile(m_home.configHome() + '/' + blocker, "");
            m_model->setLanguage(message.startsWith("Failed") ? AppLanguage::english : AppLanguage::chinese);
        }
        m_model->setLaunchAtLogin(enable);
        QVERIFY(m_model->transientMessage().value_or("").startsWith(message));
        // A failure leaves the toggle at what the system holds (here: off), as a new model reads it.
        QCOMPARE(m_model->launchAtLoginEnabled(), message.isEmpty() && enable);
        QCOMPARE(Model(makeTestServices()).launchAtLoginEnabled(), m_model->launchAtLoginEnabled());
    }
    void loginProbeIsBounded() {
        const QString codex = at("codex");
        writeScript(codex, "sleep 60 & wait");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(codexLoginStatus(codex), (ProbeResult{false, "codex login status timed out"}));
        QVERIFY2(timer.elapsed() > 9000 && timer.elapsed() < 30000,
                 qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
