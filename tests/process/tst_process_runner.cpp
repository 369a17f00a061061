// SPDX-License-Identifier: MIT
#include "process/ProcessRunner.h"
#include "runtime/RuntimeScripts.h"

#include "support/TestRuntime.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QThreadPool>

#include <chrono>
#include <csignal>

namespace {

// Shared, so a run that outlives a failed test still writes into memory that exists.
using PendingRun = std::shared_ptr<std::optional<Result<QString>>>;

PendingRun start(QCoro::Task<Result<QString>> task) {
    auto pending = std::make_shared<std::optional<Result<QString>>>();
    QCoro::connect(std::move(task), QCoreApplication::instance(),
                   [pending](const Result<QString>& result) { *pending = result; });
    return pending;
}

// A run still going after the timeout fails the test instead of hanging it.
Result<QString> resultOf(const PendingRun& run, int timeout = 10'000) {
    (void)QTest::qWaitFor([&] { return run->has_value(); }, timeout);
    return run->value_or(Error{QStringLiteral("test"), -1, QStringLiteral("the run did not end")});
}
Result<QString> await(QCoro::Task<Result<QString>> task, int timeout = 10'000) {
    return resultOf(start(std::move(task)), timeout);
}

QString textOf(const Result<QString>& result) {
    return result.ok() ? result.value() : QStringLiteral("failed: ") + result.failure().message;
}

} // namespace

class TestProcessRunner : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void environment() {
        // The fixed PATH when the application has none, the application's otherwise, an added one first.
        for (const auto& [appPath, addedPath, expectedPath] :
             {std::tuple<QByteArray, QString, QString>{"", "", kFixedSearchPath},
              {"/app", "", "/app"},
              {"/app", "/added", "/added"}}) {
            ScopedEnv path("PATH", appPath);
            if (appPath.isEmpty())
                qunsetenv("PATH");
            Environment additions{{"TST_REPLACED", "new $HOME ü"}};
            if (!addedPath.isEmpty())
                additions.insert("PATH", addedPath);
            ScopedEnv replaced("TST_REPLACED", "old");
            const auto result = runProcessSync("/usr/bin/env", {}, std::nullopt, additions);
            // Sorted whole lines, so a variable given twice shows.
            QStringList lines = textOf(result).split(u'\n').filter(QRegularExpression("^(PATH|TST_\\w+)="));
            lines.sort();
            QCOMPARE(lines, QStringList({"PATH=" + expectedPath, "TST_REPLACED=new $HOME ü"}));
        }
    }
    void runtimeScriptGetsPathsAsOneArgument() {
        const QString folder = "my runtime's \"folder\" $HOME `id` $(id) * ü 漢字 🚀";
        ScopedEnv path("PATH", "/app:/usr/bin:/bin");
        const QString root = m_dir.filePath(folder), script = root + "/show.sh";
        QVERIFY(writeScript(script, R"sh(printf '<%s>' "$0" "$(pwd -P)" "$CONFIG_ENV_FILE" "$PATH" "$@")sh"));
        QCOMPARE(textOf(await(runShellScript(script, {folder}, root))),
                 QStringLiteral("<%1><%2><%3/config/.env><%4><%5>")
                     .arg(script, QDir(root).canonicalPath(), root, kFixedSearchPath, folder));
    }
    void outcome_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("code");     // 0: the run succeeds
        QTest::addColumn<QString>("text"); // the output, or the error's message
        const QString zeros(4 << 20, QChar());
        QTest::newRow("blank stdout dropped, no trim") << R"(echo; printf '\te \n' >&2)" << 0 << "\te \n";
        QTest::newRow("invalid stdout counts as empty") << R"(printf 'a\xffb'; echo e >&2)" << 0 << "e\n";
        QTest::newRow("cut-off stderr is empty") << R"(echo o; printf '\xe2\x82' >&2; exit 4)" << 4 << "o\n";
        QTest::newRow("fails, stdout first")
            << "echo é >&2; sleep .05; echo 漢字; exit 3" << 3 << "漢字\n\né\n";
        QTest::newRow("no usable text")
            << R"(printf '\xc2\xa0'; printf '\xc0' >&2; exit 1)" << 1 << "Command failed.";
        // Both at once, each far beyond what a pipe holds: reading one to its end first deadlocks.
        QTest::newRow("both pipes drained")
            << "head -c 4M /dev/zero & head -c 4M /dev/zero >&2; wait" << 0 << zeros + u'\n' + zeros;
        QTest::newRow("killed by a signal") << "echo partial; kill -KILL $$" << int(SIGKILL) << "partial\n";
    }
    void outcome() {
        QFETCH(QString, body);
        QFETCH(int, code);
        QFETCH(QString, text);
        const auto result = await(runProcess({"/bin/bash", {"-c", body}}));
        QVERIFY(result.ok() || result.failure().domain == kErrorDomain);
        const auto shown = [](const Error& e) { return QString::number(e.code) + ' ' + e.message; };
        QCOMPARE(result.ok() ? "0 " + result.value() : shown(result.failure()),
                 QString::number(code) + ' ' + text);
    }
    void waitingRunsDoNotDelayOthers() {
        // More runs than the global pool has threads, each waiting until released.
        const QString release = m_dir.filePath("release");
        QList<PendingRun> waiting;
        auto cleanup = qScopeGuard([&] {
            writeFile(release, {});
            for (const PendingRun& run : waiting)
                (void)QTest::qWaitFor([&] { return run->has_value(); });
        });
        const QStringList arguments{"-c", R"(until [ -e "$0" ]; do sleep .05; done)", release};
        for (int i = 0; i <= QThreadPool::globalInstance()->maxThreadCount(); ++i)
            waiting << start(runProcess({"/bin/bash", arguments}));
        QCOMPARE(textOf(await(runProcess({"/bin/echo", {"quick"}}), 3000)), "quick\n");
        for (const PendingRun& run : waiting)
            QVERIFY(!run->has_value());
    }
    void backgroundProcessHoldingPipesDoesNotKeepRunOpen() {
        // What a start script does: leave a daemon behind that still has our pipes as its output.
        const auto result = await(runProcess({"/bin/bash", {"-c", "nohup sleep 30 & echo $!"}}), 3000);
        const pid_t daemon = textOf(result).section(u'\n', 0, 0).toInt();
        QVERIFY2(daemon > 0, qPrintable(textOf(result)));
        QCOMPARE(::kill(daemon, SIGKILL), 0); // it was still there holding the pipes, or nothing was proven
    }
    void endings_data() {
        QTest::addColumn<QString>("body");   // $0 is a file for the pid of what it leaves behind
        QTest::addColumn<int>("limit");      // milliseconds; 0: none
        QTest::addColumn<QString>("cancel"); // "", "before" it starts, or "once" the pid is written
        QTest::addColumn<QString>("message");
        const QString cancelled = kCancelledText;
        QTest::newRow("at the limit") << "sleep 30" << 200 << ""
                                      << "limit reached";
        QTest::newRow("cancelled before it starts") << R"(echo $$ > "$0")" << 0 << "before" << cancelled;
        // The child ends on SIGTERM; what it left, deaf to SIGTERM, is ended with it.
        QTest::newRow("cancelled, the rest of the group ended")
            << R"((trap '' TERM; echo $BASHPID > "$0"; exec sleep 30) & wait)" << 0 << "once" << cancelled;
        QTest::newRow("cancelled, SIGKILL after the grace")
            << R"(trap '' TERM; sleep 30 & echo $! > "$0"; wait)" << 0 << "once" << cancelled;
    }
    void endings() {
        QFETCH(QString, body);
        QFETCH(int, limit);
        QFETCH(QString, cancel);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("pid");
        const auto leftover = [&] { return readFile(pidFile).trimmed().toLongLong(); };
        auto cleanup = qScopeGuard([&] {
            if (QTest::currentTestFailed() && leftover() > 0)
                ::kill(pid_t(leftover()), SIGKILL);
        });
        ProcessSpec spec{"/bin/bash", {"-c", body, pidFile}};
        if (limit > 0)
            spec.limit = TimeLimit{std::chrono::milliseconds(limit), "limit reached"};
        const CancelHandle handle;
        if (!cancel.isEmpty())
            spec.cancel = handle;
        if (cancel == "before")
            handle.cancel();
        const PendingRun run = start(runProcess(spec));
        if (cancel == "once") {
            QVERIFY(QTest::qWaitFor([&] { return leftover() > 0; }, 5000));
            handle.cancel();
        }
        QCOMPARE(textOf(resultOf(run)), "failed: " + message);
        if (cancel == "before")
            QVERIFY(!QFile::exists(pidFile));
        if (cancel == "once")
            QVERIFY(processEnds(leftover()));
    }
    // Last: once the application is interrupted, every run with a limit is ended as it starts.
    void interruptionEndsOnlyLimitedRuns() {
        const int unlimitedBefore = runsWithoutLimitInFlight();
        const QString release = m_dir.filePath("release-unlimited"), pidFile = m_dir.filePath("limited-pid");
        const PendingRun unlimited = start(runProcess(
            {"/bin/bash", {"-c", R"(until [ -e "$0" ]; do sleep .05; done; echo done)", release}}));
        auto cleanup = qScopeGuard([&] {
            writeFile(release, {});
            (void)QTest::qWaitFor([&] { return unlimited->has_value(); });
        });
        const auto limited = [&](const QString& body) {
            ProcessSpec spec{"/bin/bash", {"-c", body, pidFile}};
            spec.limit = TimeLimit{std::chrono::minutes(1), "limit reached"};
            return start(runProcess(spec));
        };
        const PendingRun running = limited(R"(sleep 30 & echo $! > "$0"; wait)");
        QVERIFY(QTest::qWaitFor([&] { return !readFile(pidFile).isEmpty(); }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return runsWithoutLimitInFlight() == unlimitedBefore + 1; }, 5000));

        endLimitedRuns();
        const QString interrupted = "failed: Stopped because Skerrin was interrupted.";
        QCOMPARE(textOf(resultOf(running)), interrupted);
        QVERIFY(processEnds(readFile(pidFile).trimmed().toLongLong()));
        QCOMPARE(textOf(resultOf(limited("sleep 30"))), interrupted);

        QVERIFY(!unlimited->has_value());
        writeFile(release, {});
        QCOMPARE(textOf(resultOf(unlimited)), "done\n");
        QCOMPARE(runsWithoutLimitInFlight(), unlimitedBefore);
    }
};

QTEST_GUILESS_MAIN(TestProcessRunner)
#include "tst_process_runner.moc"
