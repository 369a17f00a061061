// SPDX-License-Identifier: MIT
#include "platform/linux/DBusDesktopNotifier.h"
#include "platform/linux/ModuleDesktopNotifier.h"
#include "support/PrivateBus.h"
#include "support/TestRuntime.h"

#include <QDBusConnectionInterface>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <memory>

namespace {

// Ends a child started by the test, whatever happened.
void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// What the daemon showed, one map of its DUNST_* variables per notification.
QList<QHash<QString, QString>> shown(const QString& recordFile) {
    QList<QHash<QString, QString>> notifications;
    for (const QString& block : QString::fromUtf8(readFile(recordFile)).split("---\n", Qt::SkipEmptyParts)) {
        QHash<QString, QString> fields;
        for (const QString& line : block.split('\n', Qt::SkipEmptyParts))
            fields.insert(line.section('=', 0, 0).mid(6), line.section('=', 1));
        notifications.append(fields);
    }
    return notifications;
}

} // namespace

// Notifications over org.freedesktop.Notifications: quiet without a service, and received by a real
// daemon (dunst, on a private bus and display) with the application's name, icon and desktop entry.
class TestDesktopNotifier : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    static DesktopNotification offline() {
        return {"service", "Desktop service went offline", "Skerrin is starting it again."};
    }

private slots:
    void init() {
        // Nothing here may complain: a missing service is not an error.
        QTest::failOnWarning(QRegularExpression(".*"));
    }

    void withoutServiceNothingHappens_data() {
        QTest::addColumn<bool>("busExists");
        QTest::addColumn<bool>("activatable");
        QTest::addColumn<bool>("available");
        QTest::newRow("no bus at all") << false << false << false;
        QTest::newRow("a bus without a notification service") << true << false << false;
        // The desktop would start one on demand; this one fails to start, and that too stays quiet.
        QTest::newRow("a service that fails to start") << true << true << true;
    }
    void withoutServiceNothingHappens() {
        QFETCH(bool, busExists);
        QFETCH(bool, activatable);
        QFETCH(bool, available);
        const QString folder = m_dir.filePath(QString(QTest::currentDataTag()).replace(' ', '-'));
        const QString services = folder + "/services";
        QVERIFY(writeFile(services + "/notifications.service",
                          "[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=/bin/false\n"));
        std::optional<PrivateBus> bus;
        if (busExists) {
            bus.emplace(activatable ? services : QString(), false);
            QVERIFY(bus->isRunning());
        }
        const QString name = QTest::currentDataTag();
        const QDBusConnection connection = QDBusConnection::connectToBus(
            bus ? QString::fromUtf8(bus->address()) : "unix:path=" + folder + "/no-bus", name);
        QCOMPARE(connection.isConnected(), busExists);
        const auto notifier = makeDBusDesktopNotifier(connection, {"Skerrin", "skerrin", "skerrin"});
        QCOMPARE(notifier->isAvailable(), available);
        notifier->notify(offline());
        QTest::qWait(300); // any reply, error or not, has come back by now
        QDBusConnection::disconnectFromBus(name);
    }

    // Without its module the application notifies nobody, says why once, and goes on.
    void missingModuleIsQuiet() {
        PrivateBus bus({}, false);
        const ScopedEnv sessionBus("DBUS_SESSION_BUS_ADDRESS", bus.address());
        for (const QString& path : {QString(), m_dir.filePath("no-such-module.so")}) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Desktop notifications are off: "));
            const auto notifier = makeModuleDesktopNotifier(path);
            QVERIFY(!notifier->isAvailable());
            notifier->notify(offline());
        }
    }

    void daemonSeesWhoSentIt() {
        const QString dunst = QStandardPaths::findExecutable("dunst");
        if (dunst.isEmpty())
            QSKIP("dunst is not installed (script/bootstrap installs it)");
        QVERIFY2(!QStandardPaths::findExecutable("Xvfb").isEmpty(), "Xvfb is missing");
        const QString folder = m_dir.filePath("daemon");
        PrivateBus bus({}, false);
        QVERIFY(bus.isRunning());

        // The daemon finds the icon by its name, and runs the script only for this application's
        // desktop entry and name: the script's record proves all three arrived.
        const QString record = folder + "/shown", icons = folder + "/icons";
        QVERIFY(writeFile(icons + "/" SKERRIN_APP_ID ".png", "\x89PNG\r\n\x1a\n"));
        QVERIFY(writeScript(folder + "/record", "env | grep ^DUNST_ | sort >> '" + record.toUtf8() +
                                                    "'\necho --- >> '" + record.toUtf8() + "'"));
        QVERIFY(writeFile(folder + "/dunstrc",
                          "[global]\nicon_path = " + icons.toUtf8() +
                              "\n[skerrin]\nappname = Skerrin\ndesktop_entry = " SKERRIN_APP_ID
                              "\nscript = " +
                              folder.toUtf8() + "/record\n"));
        QProcess display;
        display.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
        const auto stopDisplay = qScopeGuard([&] { stop(display); });
        QVERIFY(display.waitForReadyRead(10000));
        QProcess daemon;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", ':' + QString::fromUtf8(display.readLine()).trimmed());
        environment.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus.address()));
        daemon.setProcessEnvironment(environment);
        daemon.setProcessChannelMode(QProcess::MergedChannels);
        daemon.start(dunst, {"-config", folder + "/dunstrc"});
        const auto stopDaemon = qScopeGuard([&] { stop(daemon); });

        // The application's own notifier, loaded from its module, on what it takes for the session bus.
        const ScopedEnv sessionBus("DBUS_SESSION_BUS_ADDRESS", bus.address());
        const auto notifier = makeModuleDesktopNotifier(SKERRIN_NOTIFIER_MODULE);
        QVERIFY2(QTest::qWaitFor([&] { return notifier->isAvailable(); }, 10000),
                 daemon.readAll().constData());

        notifier->notify(offline());
        QVERIFY(QTest::qWaitFor([&] { return shown(record).size() == 1; }, 10000));
        const auto first = shown(record).value(0);
        QCOMPARE(first["APP_NAME"], "Skerrin");
        QCOMPARE(first["DESKTOP_ENTRY"], SKERRIN_APP_ID);
        QCOMPARE(first["ICON_PATH"], icons + "/" SKERRIN_APP_ID ".png");
        QCOMPARE(first["SUMMARY"] + '|' + first["BODY"],
                 "Desktop service went offline|Skerrin is starting it again.");

        // A later one of the group takes its place; another group's stands beside it. This daemon reads
        // no markup, so the body goes as it is.
        QTest::qWait(1000); // the first one's id has come back, also on a loaded machine
        notifier->notify({"service", "Desktop service recovered", "a < b & c"});
        notifier->notify({"install", "Desktop runtime installed", "The desktop runtime is ready."});
        QVERIFY(QTest::qWaitFor([&] { return shown(record).size() == 3; }, 10000));
        // The daemon runs its script for each on its own, so the record's order is not theirs.
        const auto all = shown(record);
        const auto find = [&all](const QString& summary) {
            for (const auto& entry : all)
                if (entry["SUMMARY"] == summary)
                    return entry;
            return all.value(0);
        };
        const auto recovered = find("Desktop service recovered"),
                   installed = find("Desktop runtime installed");
        QCOMPARE(recovered["SUMMARY"] + '|' + recovered["BODY"], "Desktop service recovered|a < b & c");
        QCOMPARE(recovered["ID"], first["ID"]);
        QCOMPARE(installed["SUMMARY"], "Desktop runtime installed");
        QVERIFY(installed["ID"] != first["ID"]);

        // The daemon gone, nothing is there to show a notification, and sending one is quiet.
        stop(daemon);
        QVERIFY(QTest::qWaitFor([&] { return !notifier->isAvailable(); }, 10000));
        notifier->notify(offline());
        QTest::qWait(300);
        QCOMPARE(shown(record).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "tst_desktop_notifier.moc"
