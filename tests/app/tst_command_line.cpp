// SPDX-License-Identifier: MIT
#include "SkerrinDesktopEntry.h"
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <functional>

#include <sys/stat.h>

using namespace std::chrono_literals;

const QByteArray kToken = "sentinel-cli-relay-token";

// The built executable, run as a user would: its own HOME, config home and locale.
class TestCommandLine : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_home;
    LoopbackServer m_platform;
    QByteArray m_printed; // everything any run printed

    // The exit code (-1 after a crash or a hang) and standard output; m_printed gets both streams.
    // `setUp` may give the process a working folder, input or output before it starts.
    std::pair<int, QByteArray> run(const QStringList& arguments,
                                   const std::function<void(QProcess&)>& setUp = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LANGUAGE");
        env.remove("LC_ALL");
        env.insert("LANG", "C.UTF-8");
        env.insert("HOME", m_home->path());
        env.insert("XDG_CONFIG_HOME", m_home->filePath("config"));
        env.insert("SKERRIN_PLATFORM_BASE_URL", m_platform.baseUrl());
        env.insert("SKERRIN_CHATGPT_URL", m_platform.url("/chat"));
        env.insert("TMPDIR", m_home->path());
        QProcess process;
        process.setProcessEnvironment(env);
        if (setUp)
            setUp(process);
        process.start(SKERRIN_BINARY, arguments);
        const bool exited = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit;
        const QByteArray out = process.readAllStandardOutput();
        m_printed += out + process.readAllStandardError();
        return {exited ? process.exitCode() : -1, out};
    }
    QJsonObject state(const QStringList& arguments, const std::function<void(QProcess&)>& setUp = {}) {
        return QJsonDocument::fromJson(run(QStringList(arguments) << "--json", setUp).second).object();
    }
    QString field(const QStringList& arguments, const char* key) {
        return state(arguments).value(QLatin1String(key)).toString();
    }

private slots:
    void init() { m_home.emplace(); }
    void badArgumentsPrintUsage() {
        // An unknown command or language, an empty folder, an extra argument, neither on nor off.
        for (const char* row :
             {"--json", "launch", "language zh", "use-folder ", "state now", "launch-at-login yes"}) {
            m_printed.clear();
            const QStringList arguments = QString(row).split(' ');
            QCOMPARE(run(arguments), std::pair(2, QByteArray())); // the usage goes to standard error only
            QVERIFY2(m_printed.startsWith("usage: skerrin"), row);
        }
        QVERIFY(!QFile::exists(m_home->filePath("config/Skerrin/Skerrin.conf")));
    }
    void hostileSurroundings() {
        TestRuntime runtime(m_home->filePath("rt"));
        // A status script that believes whatever it is fed.
        runtime.setScript(
            RuntimeLayout::statusScript,
            R"(read -r line; [ "$line" = 1234 ] && echo "connector pid: $line" || echo "connector process not running")");
        // A relative folder is stored absolute, so it still works from elsewhere; a dash is no option.
        const auto inHome = [this](QProcess& p) { p.setWorkingDirectory(m_home->path()); };
        QCOMPARE(run({"use-folder", "rt", "--json"}, inHome).first, 0);
        QVERIFY(writeFile(m_home->filePath("input"), "1234\n"));
        const QJsonObject fed =
            state({"refresh"}, [this](QProcess& p) { p.setStandardInputFile(m_home->filePath("input")); });
        // The 1234 never reached the script.
        QCOMPARE(fed["runtimeRoot"].toString() + '|' + fed["statusSummary"].toString(),
                 runtime.root() + "|Stopped");
        QVERIFY(run({"state"}).second.contains("Status: not read yet"));
        QCOMPARE(state({"use-folder", "-rt"}, inHome)["runtimeRoot"], m_home->filePath("-rt"));

        // Output that cannot be written, settings that cannot be saved: reported, exit 1.
        const auto full = [](QProcess& p) { p.setStandardOutputFile("/dev/full"); };
        QCOMPARE(run({"state", "--json"}, full).first, 1);
        const QString conf = m_home->filePath("config/Skerrin/Skerrin.conf");
        QVERIFY(QFile::remove(conf) && QDir().mkpath(conf));
        m_printed.clear();
        QCOMPARE(run({"language", "zh-Hans"}).first, 1);
        QVERIFY2(m_printed.contains("Could not save settings to " + conf.toUtf8() + ": "),
                 m_printed.constData());
        QVERIFY(QDir(conf).removeRecursively() && ::mkfifo(qPrintable(conf), 0600) == 0);
        QCOMPARE(run({"state"}).first, 0); // a FIFO is not waited on
        QVERIFY(QFile::remove(conf) && run({"use-folder", runtime.root()}).first == 0);

        // Interrupted: the status script's whole group is ended, the state printed, 128 + the signal.
        runtime.setScript(RuntimeLayout::statusScript, "sleep 30 & echo $! > \"$0.pid\"; kill -STOP $$");
        const QString pidFile = runtime.root() + "/" + RuntimeLayout::statusScript + ".pid";
        for (const int signal : {SIGTERM, SIGINT}) {
            QFile::remove(pidFile);
            const auto [status, out] = run({"refresh"}, [pidFile, signal](QProcess& p) {
                QObject::connect(&p, &QProcess::started, &p, [&p, pidFile, signal] {
                    if (QTest::qWaitFor([&] { return QFile::exists(pidFile); }, 10000) && p.processId() > 0)
                        ::kill(pid_t(p.processId()), signal);
                });
            });
            QVERIFY2(status == 128 + signal && out.contains("Stopped because Skerrin was interrupted."),
                     qPrintable(QString::number(status) + ' ' + out));
            QVERIFY(processEnds(readFile(pidFile).trimmed().toLongLong()));
        }
    }
    void actionExitStatuses_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("fails");
        for (const char* command :
             {"start", "stop", "keep-online", "setup", "doctor", "pair", "finish-pairing", "unpair",
              "uninstall", "install", "use-folder", "codex-login", "launch-at-login"}) {
            QTest::addRow("%s succeeds", command) << QString(command) << false;
            QTest::addRow("%s fails", command) << QString(command) << true;
        }
    }
    // 0 when the action succeeded, 1 with the reason on standard error when it failed.
    void actionExitStatuses() {
        QFETCH(QString, command);
        QFETCH(bool, fails);
        // The standard runtime, so that installing has nothing to do.
        TestRuntime runtime(m_home->filePath(".brevant/brevant-runtime"));
        const QByteArray script = fails ? "echo 'it broke' >&2; exit 3" : "echo done";
        for (const QString& entry :
             {RuntimeLayout::startScript, RuntimeLayout::stopScript, RuntimeLayout::installScript,
              RuntimeLayout::doctorScript, RuntimeLayout::unpairScript, RuntimeLayout::uninstallScript})
            runtime.setScript(entry, script);
        runtime.setScript(RuntimeLayout::pairingScript,
                          fails ? "console.error('it broke'); process.exit(3)" : "console.log('done')");
        QStringList arguments{command};
        if (command == "use-folder")
            arguments << (fails ? m_home->filePath("no runtime") : runtime.root());
        if (command == "launch-at-login") {
            arguments << "on";
            if (fails) // a file where the autostart folder goes
                QVERIFY(writeFile(m_home->filePath("config/autostart"), ""));
        }
        const QString terminal = m_home->filePath("terminal");
        QVERIFY(writeScript(terminal, "exit 0"));
        if (command == "install" && fails) // nothing to keep, and no manifest to be had
            QDir(runtime.root()).removeRecursively();
        const ScopedEnv manifest("SKERRIN_MANIFEST_URL", "http://127.0.0.1:1/manifest.json"),
            terminalVariable("TERMINAL", fails ? "" : terminal.toUtf8()),
            path("PATH",
                 command == "codex-login" && fails ? m_home->filePath("empty").toUtf8() : qgetenv("PATH"));
        const auto [status, out] = run(arguments << "--json");
        const QJsonObject state = QJsonDocument::fromJson(out).object();
        QVERIFY2(status == (fails ? 1 : 0) && state.value("ok").toBool() == !fails,
                 qPrintable(QString::number(status) + ' ' + m_printed));
        if (fails)
            QVERIFY2(m_printed.contains("skerrin: " + state.value("transientMessage").toString().toUtf8()),
                     m_printed.constData());
    }
    void maintenanceCommandsNameTheAppImage() {
        TestRuntime runtime(m_home->filePath("rt"));
        runtime.setScript(skerrin::RuntimeLayout::unpairScript, "echo \"unpaired $#\"");
        runtime.setScript(skerrin::RuntimeLayout::uninstallScript, "echo \"$*\"");
        runtime.setEnv("RELAY_BASE_URL=" + m_platform.baseUrl().toUtf8() + "\n");
        const ScopedEnv appImage("APPIMAGE", "/opt/My App.AppImage");
        QCOMPARE(field({"use-folder", runtime.root()}, "runtimeRoot"), runtime.root());
        QCOMPARE(state({"advanced"}).value("connectivityChecks").toArray().size(), 2); // ChatGPT, relay
        const auto shown = [this](const char* command) {
            const QJsonObject s = state({command});
            return s.value("transientMessage").toString() + '|' + s.value("latestActionOutput").toString();
        };
        const QString scripts = runtime.root() + "/deploy/agent/";
        QCOMPARE(shown("setup"), "Desktop setup completed.|" + scripts + "install.sh --target desktop");
        QCOMPARE(shown("doctor"), "Doctor passed.|" + scripts + "doctor.sh");
        QCOMPARE(shown("unpair"), "Current desktop pairing removed.|unpaired 0");
        QVERIFY(state({"launch-at-login", "on"}).value("launchAtLoginEnabled").toBool());
        QVERIFY(
            readFile(m_home->filePath(QStringLiteral("config/autostart/") + skerrin::desktopEntryFileName))
                .contains("\nExec=\"/opt/My App.AppImage\"\n"));
        QElapsedTimer timer;
        timer.start();
        const auto [status, out] = run({"uninstall", "--json"}); // printed, then quits on its own
        QVERIFY2(status == 0 && timer.elapsed() >= 500, qPrintable(QString::number(timer.elapsed())));
        const QJsonObject removed = QJsonDocument::fromJson(out).object();
        QCOMPARE(removed.value("latestActionOutput"), "--remove-app-bundle /opt/My App.AppImage");
        QCOMPARE(removed.value("launchAtLoginEnabled"), false);
    }
    void secretsMaskedInStateAndReport() {
        // The runtime's scripts and its log print every secret of its .env.
        const TestRuntime runtime(m_home->filePath("rt"));
        const QByteArray secret = "sk-live-0123456789abcdef";
        runtime.setEnv("RELAY_TOKEN=" + kToken + "\nOPENAI_API_KEY=\"" + secret +
                       "\"\nWORKSPACE=plain-value-shown\nSHORT_TOKEN=abc1234\n");
        const QByteArray printsAll = "echo \"warning: token $RELAY_TOKEN key " + secret +
                                     " ws plain-value-shown short abc1234 in $HOME\"";
        for (const QString& script : {RuntimeLayout::doctorScript, RuntimeLayout::statusScript})
            runtime.setScript(script, "RELAY_TOKEN=" + kToken + "; " + printsAll);
        QVERIFY(writeFile(runtime.root() + "/state/connector.log", "connected with " + kToken + "\n"));
        QCOMPARE(field({"use-folder", runtime.root()}, "runtimeRoot"), runtime.root());

        const QJsonObject doctor = state({"doctor"});
        const QString masked = "warning: token ••••oken key ••••cdef ws plain-value-shown short abc1234 in ";
        QCOMPARE(doctor.value("latestActionOutput").toString(), masked + m_home->path());
        QCOMPARE(doctor.value("statusDiagnostics").toString(), masked + m_home->path());
        QCOMPARE(doctor.value("statusDetail").toString(), masked + m_home->path());

        // The report's layout is the report test's; here what the command line gives it.
        const auto [status, report] = run({"report"});
        QCOMPARE(status, 0);
        QVERIFY(report.startsWith("# Skerrin support report\n") &&
                report.contains("connected with ••••oken"));
        QVERIFY(report.contains("Qt platform plugin: none (command line)"));
        QVERIFY(report.contains("(`runtime`): ~/rt\n") && report.contains("ChatGPT")); // refreshed first
        QVERIFY2(!report.contains(m_home->path().toUtf8()), report.constData());
        QVERIFY(!m_printed.contains(kToken) && !m_printed.contains(secret));
        // The files on disk are left as they were.
        QVERIFY(readFile(runtime.root() + "/config/.env").contains("RELAY_TOKEN=" + kToken));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
