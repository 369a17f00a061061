// SPDX-License-Identifier: MIT
#include "SkerrinDesktopEntry.h"
#include "platform/LoginItemService.h"
#include "platform/ModuleHttpClient.h"
#include "platform/PlatformServices.h"
#include "platform/SettingsStore.h"
#include "platform/TerminalLauncher.h"
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

// The terminal launcher and its texts, the autostart entry as the desktop reads it, settings
// another process writes, and HTTP from the network module.
class TestPlatformServices : public QObject {
    Q_OBJECT
    TemporaryHome m_home;

private slots:
    // The module sends through Qt Network; without it each request fails saying so, and standard
    // error says why once.
    void httpFromTheNetworkModule() {
        LoopbackServer server;
        server.setResponse("/ok", {.body = "fine"});
        const HttpRequest request{QUrl(server.url("/ok")), {{"X-Check", "1"}}};
        const auto http = makeModuleHttpClient(SKERRIN_NETWORK_MODULE);
        const FinishedRequest answer = QCoro::waitFor(http->send(request, HttpMethod::get, {}));
        QVERIFY2(answer.transportOk && answer.body == "fine", qPrintable(answer.errorText));
        QByteArray streamed;
        TransferOptions options;
        options.sink = [&streamed](const QByteArray& piece) { return streamed += piece, std::nullopt; };
        QVERIFY(QCoro::waitFor(http->streamGet(request.url, options)).ok && streamed == "fine");

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^HTTP is off: "));
        const auto missing = makeModuleHttpClient(m_home.path() + "/no-such-module.so");
        QVERIFY(!QCoro::waitFor(missing->send(request, HttpMethod::get, {})).transportOk);
        QTest::failOnWarning(QRegularExpression("HTTP is off"));
        const FinishedTransfer none = QCoro::waitFor(missing->streamGet(request.url, options));
        QVERIFY(!none.ok && none.errorText.contains("network module is not installed"));
    }
    void terminalTexts() {
        QCOMPARE(terminalAppleScript("cd 'O'\\''Brien' && say \"hi\" \\\""),
                 "tell application \"Terminal\"\n    activate\n"
                 "    do script \"cd 'O'\\\\''Brien' && say \\\"hi\\\" \\\\\\\"\"\nend tell");
        QProcess shell; // the window stays until Enter is pressed
        shell.start("/bin/bash", {"-c", keptOpenScript("echo ran")});
        QVERIFY(!shell.waitForFinished(300) && shell.write("\n") == 1 && shell.waitForFinished(5000));
        QCOMPARE(shell.readAllStandardOutput(), "ran\n\n");
    }
    void terminalChainOrderAndForms() {
        const QString bin = m_home.path() + "/bin", log = m_home.path() + "/terminal.log";
        const QStringList chain = QString("my-term -e|x-terminal-emulator -e|gnome-terminal --|konsole -e|"
                                          "xfce4-terminal -x|kitty|alacritty -e|foot|xterm -e")
                                      .split('|');
        // Each records how it was called, runs bash's part, and stays a while as a window would.
        for (const QString& terminal : chain)
            writeScript(bin + '/' + terminal.section(' ', 0, 0),
                        "a=(\"$@\"); echo \"${0##*/} ${a[*]:0:$#-1}\" > '" + log.toUtf8() +
                            "'\n\"${@: -3}\" </dev/null >> '" + log.toUtf8() + "'\n/bin/sleep 5");
        const ScopedEnv path("PATH", bin.toUtf8()), terminalVariable("TERMINAL", (bin + "/my-term").toUtf8());
        const TerminalLauncher launch = makeTerminalLauncher();
        for (const QString& expected : chain) { // each is used once those before it are gone
            QFile::remove(log);
            QElapsedTimer timer;
            timer.start();
            QVERIFY(!launch("echo ran") && timer.elapsed() < 3000);
            QVERIFY(QTest::qWaitFor([&] { return readFile(log).endsWith("ran\n\n"); }, 5000));
            QCOMPARE(readFile(log), expected + " /bin/bash -lc\nran\n\n");
            QFile::remove(bin + '/' + expected.section(' ', 0, 0));
        }
        QCOMPARE(launch("true").value_or(Error{}).description(), "Failed to open Terminal.");
        writeFile(bin + "/xterm", "#!/no/such/interpreter\n", true); // found, but cannot start
        QVERIFY(launch("true").value_or(Error{}).description().contains("No such file"));
    }
    void autostartEntryStartsThisExecutable_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("shell characters") << "my \"app\" $HOME `id` 'x'";
        QTest::newRow("backslashes") << "a\\\\b \\\" \\$ c\\";
        QTest::newRow("line break, tab, non-ASCII") << "a\nb\tc ü 运行";
    }
    void autostartEntryStartsThisExecutable() {
        QFETCH(QString, name);
        const QString app = m_home.path() + "/apps/" + name, ran = m_home.path() + "/ran";
        QFile::remove(ran);
        QVERIFY(writeScript(app, "printf %s \"$0\" > '" + ran.toUtf8() + "'"));
        const auto loginItem = makeLoginItemService(app);
        QVERIFY(!loginItem->registerItem() && loginItem->status() == LoginItemStatus::enabled);
        // The desktop's own reader of the entry starts it.
        const QString entry = m_home.configHome() + "/autostart/" + desktopEntryFileName;
        const QByteArray written = readFile(entry); // the installed entry, started once a tray is there
        QVERIFY(written.contains("\nIcon=app.brevant.Skerrin\n") &&
                written.endsWith("\nX-LXQt-Need-Tray=true\n") &&
                written.contains("\nX-KDE-autostart-after=panel\n") && written.count("\nExec=") == 1);
        QCOMPARE(QProcess::execute("gio", {"launch", entry}), 0);
        QVERIFY(QTest::qWaitFor([&] { return readFile(ran) == app.toUtf8(); }, 5000));
        QVERIFY(
            writeFile(entry, readFile(entry) + "Hidden=true\n")); // switched off in the desktop's settings
        QCOMPARE(loginItem->status(), LoginItemStatus::notRegistered);
    }
    // The tray application is started by `skerrin`: that, or the AppImage around it, is what starts
    // at login and what an uninstall names, never the program that happens to run.
    void launcherIsTheNamedProgram_data() {
        QTest::addColumn<QString>("launcher");
        QTest::addColumn<QByteArray>("appImage");
        QTest::addColumn<QString>("named");
        QTest::newRow("started by skerrin")
            << "/opt/s k/bin/skerrin" << QByteArray() << "/opt/s k/bin/skerrin";
        QTest::newRow("inside an AppImage")
            << "/tmp/.mount_x/usr/bin/skerrin" << QByteArray("/home/me/Skerrin.AppImage")
            << "/home/me/Skerrin.AppImage";
        QTest::newRow("started by hand")
            << QString() << QByteArray() << QCoreApplication::applicationFilePath();
    }
    void launcherIsTheNamedProgram() {
        QFETCH(QString, launcher);
        QFETCH(QByteArray, appImage);
        QFETCH(QString, named);
        const ScopedEnv image("APPIMAGE", appImage);
        QCOMPARE(makePlatformServices(launcher).appInfo->bundlePath(), named);
    }
    void settingsWrittenByAnotherProcess() {
        const QString file = m_home.configHome() + "/Skerrin/Skerrin.conf";
        const auto settings = makeSettingsStore();
        QVERIFY(!settings->setBoolean("test.flag", false) && !settings->setString("test.name", "mine"));
        QCOMPARE(settings->boolean("test.flag"), false);
        QCOMPARE(settings->boolean("test.name"), std::nullopt); // text, not a flag

        // Another process rewrites the file as QSettings would (its own writes go through a rename).
        QCOMPARE(QProcess::execute("/bin/sh", {"-c",
                                               "printf '[General]\\ntest.flag=true\\ntest.name=theirs\\n"
                                               "test.other=yes\\n' > \"$0.new\" && mv \"$0.new\" \"$0\"",
                                               file}),
                 0);
        settings->reload();
        QCOMPARE(settings->boolean("test.flag"), true);
        QCOMPARE(settings->string("test.name"), "theirs");
        QCOMPARE(settings->boolean("test.other"), std::nullopt);

        // A file that has turned into a FIFO would block a read forever: it is not read.
        QVERIFY(QFile::remove(file) && QProcess::execute("mkfifo", {file}) == 0);
        settings->reload();
        QCOMPARE(settings->string("test.name"), "theirs");
        QVERIFY(QFile::remove(file));
    }
};

QTEST_GUILESS_MAIN(TestPlatformServices)
#include "tst_platform_services.moc"
