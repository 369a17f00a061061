// SPDX-License-Identifier: MIT
#include "model/KeepOnlineSettings.h"
#include "model/KeepOnlineWatch.h"
#include "model/SettingsKeys.h"
#include "support/TestRuntime.h"

#include <QTest>

#include <map>

using namespace std::chrono;

namespace {

const QMap<WatchNoticeKind, QString> kNoticeCodes = {
    {WatchNoticeKind::wentOffline, "O"},    {WatchNoticeKind::recovered, "V"},
    {WatchNoticeKind::recoveryFailed, "F"}, {WatchNoticeKind::installFinished, "I"},
    {WatchNoticeKind::installFailed, "X"},  {WatchNoticeKind::pairingConfirmed, "P"}};

const std::map<QString, UserAction> kUserActions = {
    {"start", UserAction::start},      {"keep", UserAction::keepOnline}, {"turn-on", UserAction::turnOn},
    {"turn-off", UserAction::turnOff}, {"refresh", UserAction::refresh}, {"stop", UserAction::stop}};

QString code(const std::optional<WatchNotice>& notice) {
    return notice ? kNoticeCodes.value(notice->kind, "?") : QString();
}

// "30s", "1m", "2h".
seconds span(const QString& text) {
    return seconds(text.chopped(1).toInt() * (text.endsWith('h') ? 3600 : text.endsWith('m') ? 60 : 1));
}

// Plays a script of events against a watch on a clock that moves only when told, and writes the
// script again with what came out: "down=RO" is a status refresh that found the service offline, and
// got a recovery (R) and the went-offline notice (O); an event with nothing to say stands alone.
//   +30s +1m +2h   the clock moves on
//   up down        the watcher's status refresh found the service running, offline
//   action-down    an action's status refresh found it offline
//   ok fail        the recovery ended with the service running, still offline
//   start keep turn-on turn-off refresh stop           what the user did
//   on off mark unmark shown hidden new-root           the setting, the pause mark, the panel, the runtime
//   installed install-failed paired pair-failed        long actions ended
QString replay(const QString& script) {
    steady_clock::time_point now{};
    KeepOnlineWatch watch(WatchSchedule{}, [&now] { return now; });
    QStringList out;
    for (const QString& token : script.split(' ', Qt::SkipEmptyParts)) {
        const QString event = token.section('=', 0, 0);
        QString result;
        if (event.startsWith('+')) {
            now += span(event.mid(1));
        } else if (event == "up" || event == "down" || event == "action-down") {
            const StatusDecision decision = watch.statusSeen(event == "up", event != "action-down");
            result = (decision.recover ? "R" : "") + code(decision.notice);
        } else if (event == "ok" || event == "fail") {
            result = code(watch.recoveryFinished(event == "ok", "exit 1"));
        } else if (event == "installed" || event == "install-failed") {
            result = code(watch.longActionFinished(LongAction::install, event == "installed", "no space"));
        } else if (event == "paired" || event == "pair-failed") {
            result = code(watch.longActionFinished(LongAction::pairing, event == "paired", "expired"));
        } else if (kUserActions.count(event)) {
            watch.userAction(kUserActions.at(event));
        } else if (event == "on" || event == "off") {
            watch.setEnabled(event == "on");
        } else if (event == "mark" || event == "unmark") {
            watch.setPaused(event == "mark");
        } else if (event == "shown" || event == "hidden") {
            watch.setPanelVisible(event == "shown");
        } else if (event == "new-root") {
            watch.runtimeChanged();
        } else {
            out << "?" + token;
            continue;
        }
        out << (result.isEmpty() ? event : event + '=' + result);
    }
    return out.join(' ');
}

} // namespace

// Watching the desktop service: when to recover, how to back off, what pauses it, which notices go
// out; the texts; the schedule's test-only shortening; the setting as stored.
class TestKeepOnlineWatch : public QObject {
    Q_OBJECT
    TemporaryHome m_home;

private slots:
    void decisions_data() {
        QTest::addColumn<QString>("script");
        QTest::newRow("setting off: a drop is told, not recovered") << "up down=O +1h down refresh down";
        QTest::newRow("recovered at once, re-armed by running, so the next drop too")
            << "on up down=RO ok=V +1m up +24h down=RO ok=V";
        QTest::newRow("recovery from start-up, no drop to tell") << "on down=R ok=V";
        QTest::newRow("one recovery at a time") << "on up down=RO down +10m down";
        QTest::newRow("back-off 1, 2, 4, 8, 15, 15 minutes; one failure notice per 10 minutes")
            << "on down=R fail=F +59s down +1s down=R fail +119s down +1s down=R fail "
               "+239s down +1s down=R fail +479s down +1s down=R fail=F "
               "+899s down +1s down=R fail=F +899s down +1s down=R";
        QTest::newRow("every user action ends the back-off")
            << "on down=R fail=F +10s down refresh down=R fail +10s down start down=R fail "
               "+10s keep down=R fail +10s turn-on down=R";
        QTest::newRow("seen running ends the back-off") << "on down=R fail=F +10s up down=RO";
        QTest::newRow("the user's stop pauses until they start")
            << "on up stop down +1h down start down=R ok=V";
        QTest::newRow("keeping online lifts the pause; refreshing does not")
            << "on stop down refresh down keep down=R";
        QTest::newRow("switching it on lifts the pause") << "off stop down turn-on down=R";
        QTest::newRow("a stop run in a shell leaves a mark") << "on up mark down +1h down unmark down=R";
        QTest::newRow("switched off during the back-off")
            << "on down=R fail=F turn-off +1h down turn-on down=R";
        QTest::newRow("only the watcher's own refresh recovers") << "on up action-down=O action-down down=R";
        QTest::newRow("nothing while the panel shows, and that counts for no repeat")
            << "on shown up down=R ok hidden up down=RO ok=V";
        QTest::newRow("the same notice at most once per 10 minutes")
            << "on up down=RO ok=V +5m up down=R ok +299s up down=R ok +1s up down=RO ok=V";
        QTest::newRow("another runtime starts afresh") << "on down=R fail=F new-root down=R";
        QTest::newRow("a running runtime replaced by a stopped one is no drop") << "on up new-root down=R";
        QTest::newRow("long actions left to finish") << "installed=I installed install-failed=X paired=P "
                                                        "pair-failed shown paired +10m hidden paired=P";
    }
    void decisions() {
        QFETCH(QString, script);
        QCOMPARE(replay(script), script);
    }

    // The English texts; the panel's test reads a Chinese one through the same table.
    void texts() {
        const QStringList expected{"service|Desktop service went offline|Skerrin is starting it again.",
                                   "service|Desktop service recovery failed|start failed: no node\n"
                                   "Skerrin tries again in 1 min.",
                                   "service|Desktop service went offline|Open Skerrin to start it again.",
                                   "install|Runtime install failed|checksum mismatch",
                                   "pairing|Phone paired|Pairing confirmed.",
                                   "Paused until you start the service."};
        steady_clock::time_point now{};
        KeepOnlineWatch watch(WatchSchedule{}, [&now] { return now; });
        watch.setLanguage(AppLanguage::english);
        watch.setEnabled(true);
        QStringList seen;
        const auto add = [&](const std::optional<WatchNotice>& notice) {
            seen << (notice ? notice->notification.group + '|' + notice->notification.summary + '|' +
                                  notice->notification.body
                            : "(none)");
        };
        watch.statusSeen(true, true);
        add(watch.statusSeen(false, true).notice);
        add(watch.recoveryFinished(false, "\n  start failed: no node \nnode: not found\n"));
        now += hours(1);
        watch.statusSeen(true, true);
        add(watch.statusSeen(false, false).notice);
        add(watch.longActionFinished(LongAction::install, false, "checksum mismatch\nexpected abc"));
        add(watch.longActionFinished(LongAction::pairing, true, {}));
        QCOMPARE(watch.settingNote(), QString());
        watch.userAction(UserAction::stop);
        seen << watch.settingNote();
        QCOMPARE(seen, expected);
        watch.setEnabled(false); // paused, but there is nothing to pause
        QCOMPARE(watch.settingNote(), QString());
    }

    void schedule_data() {
        QTest::addColumn<QByteArray>("scale");
        QTest::addColumn<QString>("expected"); // status period, retry delays 1 to 6, notice repeat; in ms
        const QString normal = "30000 60000 120000 240000 480000 900000 900000 600000";
        QTest::newRow("unset") << QByteArray() << normal;
        QTest::newRow("a minute a second") << QByteArray("60") << "500 1000 2000 4000 8000 15000 15000 10000";
        QTest::newRow("never shorter than a millisecond") << QByteArray("100000000") << "1 1 1 1 1 1 1 1";
        for (const char* ignored : {"1", "0", "-60", "fast", "2.5", ""})
            QTest::newRow(qPrintable(QString("ignored: '%1'").arg(ignored))) << QByteArray(ignored) << normal;
    }
    void schedule() {
        QFETCH(QByteArray, scale);
        QFETCH(QString, expected);
        std::optional<ScopedEnv> set;
        if (!scale.isNull())
            set.emplace("SKERRIN_WATCH_TEST_SCALE", scale);
        else
            qunsetenv("SKERRIN_WATCH_TEST_SCALE");
        const WatchSchedule schedule = WatchSchedule::fromEnvironment();
        QStringList spans{QString::number(schedule.statusPeriod.count())};
        for (int failures = 1; failures <= 6; ++failures)
            spans << QString::number(schedule.retryDelay(failures).count());
        spans << QString::number(schedule.noticeRepeat.count());
        QCOMPARE(spans.join(' '), expected);
    }

    void settingAsStored() {
        m_home.empty();
        const QString file = m_home.configHome() + "/Skerrin/Skerrin.conf";
        const auto settings = makeSettingsStore();
        // Starting with nothing to lift writes nothing.
        QVERIFY(!saveStoppedByUser(*settings, false));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(readKeepOnlineSetting(*settings).enabled, false);

        QVERIFY(!saveStoppedByUser(*settings, true));
        QVERIFY(!saveKeepServiceOnline(*settings, false));
        QVERIFY(readKeepOnlineSetting(*settings).paused);
        QVERIFY(!saveKeepServiceOnline(*settings, true)); // switching it on lifts the pause
        const KeepOnlineSetting on = readKeepOnlineSetting(*settings);
        QVERIFY(on.enabled && !on.paused);

        // A command in a shell stops the service and switches watching off while this store is open.
        const QString ini = QString::fromUtf8(readFile(file));
        QVERIFY2(ini.contains("connectorMenuBar.keepServiceOnline=true"), qPrintable(ini));
        QVERIFY(writeFile(file, "[General]\nconnectorMenuBar.keepServiceOnline=false\n"
                                "connectorMenuBar.keepServiceOnlinePaused=true\n"));
        const KeepOnlineSetting fromShell = readKeepOnlineSetting(*settings);
        QVERIFY(!fromShell.enabled && fromShell.paused);
        QVERIFY(!saveStoppedByUser(*settings, false));
        QVERIFY(!readFile(file).contains("Paused"));
    }
};

QTEST_GUILESS_MAIN(TestKeepOnlineWatch)
#include "tst_keep_online_watch.moc"
