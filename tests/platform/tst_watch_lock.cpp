// SPDX-License-Identifier: MIT
#include "platform/WatchLock.h"
#include "support/TestRuntime.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

namespace {

// Run as a child of the test: holds the lock named by the variable as a headless watcher until its
// standard input ends.
constexpr char kHoldVariable[] = "SKERRIN_TEST_HOLD_WATCH_LOCK";

int holdLock(const QString& path) {
    WatchLock lock(path);
    if (lock.acquire(WatchLock::Role::headless) != WatchLock::Outcome::acquired)
        return 1;
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

} // namespace

// One watcher per user: a second one, in this process or another, learns who holds the lock, and
// takes it once the holder has let go or is gone.
class TestWatchLock : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString lockPath() const { return m_dir.filePath("watch.lock"); }

    // A second process holding the lock.
    void startHolder(QProcess& holder) const {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kHoldVariable, lockPath());
        holder.setProcessEnvironment(environment);
        holder.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readAllStandardOutput(), "held\n");
    }

private slots:
    void twoInOneProcess() {
        WatchLock tray(lockPath()), headless(lockPath());
        QCOMPARE(tray.acquire(WatchLock::Role::tray), WatchLock::Outcome::acquired);
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                            QFileDevice::WriteOther;
        QVERIFY(!(QFile::permissions(lockPath()) & others) &&
                !(QFile::permissions(lockPath() + ".holder") & others));
        QCOMPARE(headless.acquire(WatchLock::Role::headless), WatchLock::Outcome::held);
        QCOMPARE(headless.holder().pid, QCoreApplication::applicationPid());
        QCOMPARE(headless.holder().role, WatchLock::Role::tray);
        QCOMPARE(
            describeWatchHolder(headless.holder(), AppLanguage::english),
            QString("Already kept online by another Skerrin (pid %1, tray).").arg(headless.holder().pid));
        QVERIFY(!headless.isHeld());

        // The holder may acquire again (a role of its own changing); letting go frees it for the other.
        QCOMPARE(tray.acquire(WatchLock::Role::tray), WatchLock::Outcome::acquired);
        tray.release();
        QVERIFY(!QFile::exists(lockPath()) && !tray.isHeld());
        QCOMPARE(headless.acquire(WatchLock::Role::headless), WatchLock::Outcome::acquired);
        QCOMPARE(tray.acquire(WatchLock::Role::tray), WatchLock::Outcome::held);
        QCOMPARE(tray.holder().role, WatchLock::Role::headless);
    }

    void anotherProcess_data() {
        QTest::addColumn<QString>("holder");
        QTest::newRow("lets go") << "lets go";
        QTest::newRow("is killed") << "is killed";                   // its lock stays behind, stale
        QTest::newRow("beside an earlier holder's note") << "noted"; // the note is not believed
    }
    void anotherProcess() {
        QFETCH(QString, holder);
        QProcess other;
        startHolder(other);
        const QString note = lockPath() + ".holder";
        if (holder == "noted")
            QVERIFY(QFile::remove(note) && writeFile(note, "1 tray\n"));
        WatchLock tray(lockPath());
        QCOMPARE(tray.acquire(WatchLock::Role::tray), WatchLock::Outcome::held);
        QCOMPARE(tray.holder().pid, other.processId());
        QCOMPARE(describeWatchHolder(tray.holder(), AppLanguage::english),
                 QString("Already kept online by another Skerrin (pid %1%2).")
                     .arg(other.processId())
                     .arg(holder == "noted" ? "" : ", headless"));
        holder == "is killed" ? other.kill() : other.closeWriteChannel();
        QVERIFY(other.waitForFinished(10000));
        QCOMPARE(QFile::exists(lockPath()), holder == "is killed");
        QCOMPARE(tray.acquire(WatchLock::Role::tray), WatchLock::Outcome::acquired);
    }

    void unusableFolder() {
        WatchLock lock(m_dir.filePath("missing/watch.lock"));
        QCOMPARE(lock.acquire(WatchLock::Role::tray), WatchLock::Outcome::failed);
        QVERIFY2(lock.failure().startsWith("cannot create " + m_dir.filePath("missing/watch.lock")),
                 qPrintable(lock.failure()));
        WatchLock nowhere{QString()};
        QCOMPARE(nowhere.acquire(WatchLock::Role::headless), WatchLock::Outcome::failed);
        QCOMPARE(nowhere.failure(), "there is no runtime folder for the lock");
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kHoldVariable))
        return holdLock(qEnvironmentVariable(kHoldVariable));
    TestWatchLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_watch_lock.moc"
