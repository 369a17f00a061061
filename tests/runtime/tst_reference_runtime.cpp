// SPDX-License-Identifier: MIT
#include "support/TestRuntime.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sys/prctl.h>
#include <sys/wait.h>

#include <csignal>

// The reference runtime's connector scripts where nothing reaps a killed connector: this test takes
// the orphans in (a subreaper) and reaps them only at the end, as PID 1 of some containers never does.
class TestReferenceRuntime : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_root;
    QList<pid_t> m_orphans;

    QString run(const char* script) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start("/bin/bash", {m_root + "/runner/" + script});
        if (!process.waitForFinished(15000))
            return "(hung)";
        return QString::fromUtf8(process.readAll());
    }
    pid_t startedPid(const QString& output) {
        const auto match = QRegularExpression("started connector with nohup pid: (\\d+)").match(output);
        const pid_t pid = match.hasMatch() ? match.captured(1).toInt() : 0;
        if (pid > 0)
            m_orphans << pid;
        return pid;
    }

private slots:
    void initTestCase() {
        QVERIFY(prctl(PR_SET_CHILD_SUBREAPER, 1) == 0);
        m_root = m_dir.filePath("runtime");
        QCOMPARE(QProcess::execute("/bin/cp", {"-R", SKERRIN_REFERENCE_RUNTIME, m_root}), 0);
    }
    void cleanupTestCase() {
        run("connector_stop.sh");
        for (const pid_t pid : m_orphans) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    void killedConnectorReadsAsStopped() {
        const pid_t first = startedPid(run("connector_start.sh"));
        QVERIFY(first > 0);
        QVERIFY(run("connector_status.sh").contains(QString("connector pid: %1\n").arg(first)));

        // Killed behind the scripts' back: a zombie, since its parent (this test) does not reap it.
        QCOMPARE(::kill(first, SIGKILL), 0);
        QVERIFY(processEnds(first));
        QCOMPARE(::kill(first, 0), 0); // what the scripts used to go by
        QString status = run("connector_status.sh");
        QVERIFY2(status.contains("pid file exists but process is not running\n") &&
                     !status.contains("connector pid:"),
                 qPrintable(status));

        // Starting again starts a new connector rather than finding the dead one running.
        const QString started = run("connector_start.sh");
        const pid_t second = startedPid(started);
        QVERIFY2(second > 0 && second != first, qPrintable(started));
        QVERIFY(run("connector_status.sh").contains(QString("connector pid: %1\n").arg(second)));

        // Stopping sees the stopped connector gone at once, though it too stays a zombie.
        const QString stopped = run("connector_stop.sh");
        QCOMPARE(stopped, "connector stopped\n");
        QVERIFY(processEnds(second));
        status = run("connector_status.sh");
        QVERIFY2(status.contains("connector process not running\n"), qPrintable(status));
    }

    void pidFileOfAZombieFromTheStart() {
        // A pid file naming a zombie whose command name holds a space and a parenthesis; its parent
        // has turned into a program that never waits for it.
        const QString odd = m_dir.filePath("odd) name");
        QVERIFY(writeScript(odd, "exit 0"));
        QVERIFY(writeScript(m_dir.filePath("parent"), "'" + odd.toUtf8() + "' &\necho $!\nexec sleep 30"));
        QProcess parent;
        parent.start(m_dir.filePath("parent"));
        QVERIFY(parent.waitForReadyRead(5000));
        const qint64 zombie = parent.readAll().trimmed().toLongLong();
        QVERIFY(processEnds(zombie));
        QVERIFY(writeFile(m_root + "/state/connector.pid", QByteArray::number(zombie) + "\n"));
        QVERIFY(run("connector_status.sh").contains("pid file exists but process is not running\n"));
        QCOMPARE(run("connector_stop.sh"), "connector stopped\n");
        parent.kill();
        parent.waitForFinished(5000);
        m_orphans << pid_t(zombie);
    }
};

QTEST_GUILESS_MAIN(TestReferenceRuntime)
#include "tst_reference_runtime.moc"
