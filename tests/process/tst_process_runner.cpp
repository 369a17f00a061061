// SPDX-License-Identifier: MIT
#include "process/ProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <cerrno>
#include <csignal>
#include <memory>

using namespace skerrin;

namespace {

// Only there to stop a broken run from hanging the test; well within the test function's watchdog.
constexpr int kGenerousTimeout = 60'000;

// QCoro::waitFor needs a default-constructible value, which Result is not.
Result<QString> await(QCoro::Task<Result<QString>> task) {
    auto wrapped = [](QCoro::Task<Result<QString>> inner) -> QCoro::Task<std::optional<Result<QString>>> {
        co_return co_await std::move(inner);
    };
    return *QCoro::waitFor(wrapped(std::move(task)));
}

// Sets (or, given nothing, removes) a variable of the application's environment for one scope.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const std::optional<QByteArray>& value) : m_name(name) {
        if (qEnvironmentVariableIsSet(name))
            m_previous = qgetenv(name);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~EnvironmentOverride() {
        if (m_previous)
            qputenv(m_name, *m_previous);
        else
            qunsetenv(m_name);
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_previous;
};

QHash<QString, QString> parseEnvOutput(const QString& output) {
    QHash<QString, QString> variables;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        variables.insert(line.left(equals), line.mid(equals + 1));
    }
    return variables;
}

// Kills the processes whose pids the scripts wrote, waiting a while for files not yet written.
void killRecordedPids(const QStringList& pidFiles, int signal = SIGTERM) {
    for (const QString& file : pidFiles) {
        (void)QTest::qWaitFor([&] { return QFileInfo(file).size() > 0; }, 10'000);
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const pid_t pid = f.readAll().trimmed().toInt();
        if (pid > 0)
            ::kill(pid, signal);
    }
}

// The result of a run the test does not await at once; shared so that a run ending after its test
// has given up writes into memory that is still there.
using PendingRun = std::optional<Result<QString>>;

std::shared_ptr<PendingRun> start(QCoro::Task<Result<QString>> task) {
    auto pending = std::make_shared<PendingRun>();
    QCoro::connect(std::move(task), QCoreApplication::instance(),
                   [pending](const Result<QString>& result) { *pending = result; });
    return pending;
}

// Ends runs left waiting on purpose: kills their recorded processes and waits for them to finish.
void endRuns(const QStringList& pidFiles, const QList<std::shared_ptr<PendingRun>>& runs) {
    killRecordedPids(pidFiles);
    (void)QTest::qWaitFor(
        [&] {
            return std::all_of(runs.begin(), runs.end(), [](const auto& run) { return run->has_value(); });
        },
        kGenerousTimeout / 2);
}

} // namespace

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestProcessRunner : public QObject {
    Q_OBJECT

private slots:
    void init();

    void syncEnvironment_data();
    void syncEnvironment();
    void shellScriptEnvironment();
    void nodeScriptLayout();

    void awkwardPathsArriveUnexpanded_data();
    void awkwardPathsArriveUnexpanded();

    void combinedOutputAndStatus_data();
    void combinedOutputAndStatus();
    void startFailurePassesThrough_data();
    void startFailurePassesThrough();
    void scriptWithoutExecutePermissionRuns();

    void largeOutputOnBothStreams();
    void waitingRunsDoNotDelayOthers();
    void backgroundProcessHoldingPipesDoesNotKeepRunOpen();
    void noPipeOfAnotherRunIsInherited();
    void callerResumesOnItsThreadAndKeepsRunning();

    void resolveExecutable_data();
    void resolveExecutable();
    void appleScriptStartFailurePassesThrough();

private:
    QString writeScript(const QString& name, const QByteArray& body,
                        QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ExeOwner);
    QString path(const QString& name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestProcessRunner::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestProcessRunner::writeScript(const QString& name, const QByteArray& body,
                                       QFile::Permissions permissions) {
    const QString scriptPath = path(name);
    QDir().mkpath(QFileInfo(scriptPath).path());
    QFile file(scriptPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(scriptPath));
    file.write("#!/bin/bash\n" + body);
    file.close();
    file.setPermissions(permissions);
    return scriptPath;
}

void TestProcessRunner::syncEnvironment_data() {
    QTest::addColumn<std::optional<QByteArray>>("appPath");
    QTest::addColumn<Environment>("additions");
    QTest::addColumn<QString>("expectedPath");

    const std::optional<QByteArray> none;
    QTest::newRow("no PATH anywhere gets the fixed one") << none << Environment{} << kFixedSearchPath;
    QTest::newRow("application's PATH kept")
        << std::optional<QByteArray>("/app/bin:/usr/bin") << Environment{} << "/app/bin:/usr/bin";
    QTest::newRow("added PATH replaces the application's")
        << std::optional<QByteArray>("/app/bin:/usr/bin") << Environment{{"PATH", "/added/bin:/bin"}}
        << "/added/bin:/bin";
    QTest::newRow("added PATH without one inherited")
        << none << Environment{{"PATH", "/added/bin:/bin"}} << "/added/bin:/bin";
}

void TestProcessRunner::syncEnvironment() {
    QFETCH(std::optional<QByteArray>, appPath);
    QFETCH(Environment, additions);
    QFETCH(QString, expectedPath);

    EnvironmentOverride path("PATH", appPath);
    EnvironmentOverride inherited("SKERRIN_TEST_INHERITED", QByteArray("kept as it is = yes"));
    EnvironmentOverride replaced("SKERRIN_TEST_REPLACED", QByteArray("old"));
    additions.insert(QStringLiteral("SKERRIN_TEST_REPLACED"), QStringLiteral("new value"));
    additions.insert(QStringLiteral("SKERRIN_TEST_ADDED"), QStringLiteral("ünïcödé $HOME"));

    const auto result = runProcessSync(QStringLiteral("/usr/bin/env"), {}, std::nullopt, additions);
    QVERIFY2(result.ok(), qPrintable(result.ok() ? QString() : result.failure().message));
    const QString output = result.value();
    const auto variables = parseEnvOutput(output);
    QCOMPARE(variables.value(QStringLiteral("PATH")), expectedPath);
    QCOMPARE(variables.value(QStringLiteral("SKERRIN_TEST_INHERITED")),
             QStringLiteral("kept as it is = yes"));
    QCOMPARE(variables.value(QStringLiteral("SKERRIN_TEST_REPLACED")), QStringLiteral("new value"));
    QCOMPARE(variables.value(QStringLiteral("SKERRIN_TEST_ADDED")), QStringLiteral("ünïcödé $HOME"));
    QCOMPARE(output.count(QStringLiteral("\nPATH=")) + int(output.startsWith(QStringLiteral("PATH="))), 1);
    QCOMPARE(output.count(QStringLiteral("SKERRIN_TEST_REPLACED=")), 1);
}

void TestProcessRunner::shellScriptEnvironment() {
    EnvironmentOverride appPath("PATH", QByteArray("/somewhere/else:/usr/bin:/bin"));
    EnvironmentOverride inherited("SKERRIN_TEST_INHERITED", QByteArray("  spaced\tvalue  "));
    const QString script = writeScript(QStringLiteral("env.sh"), "/usr/bin/env\n");

    const auto result = await(runShellScript(script, {}, m_dir->path()));
    QVERIFY(result.ok());
    const auto variables = parseEnvOutput(result.value());
    QCOMPARE(variables.value(QStringLiteral("PATH")), kFixedSearchPath);
    QCOMPARE(variables.value(QStringLiteral("CONFIG_ENV_FILE")),
             m_dir->path() + QStringLiteral("/config/.env"));
    QCOMPARE(variables.value(QStringLiteral("SKERRIN_TEST_INHERITED")), QStringLiteral("  spaced\tvalue  "));
}

void TestProcessRunner::nodeScriptLayout() {
    if (QStandardPaths::findExecutable(QStringLiteral("node"), kFixedSearchPath.split(QLatin1Char(':')))
            .isEmpty())
        QSKIP("node is not in the fixed search path");
    EnvironmentOverride appPath("PATH", QByteArray("/somewhere/else"));
    const QString root = path(QStringLiteral("runtime root $x"));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/scripts")));
    QFile script(root + QStringLiteral("/scripts/show.mjs"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("console.log(JSON.stringify([process.cwd(), process.env.CONFIG_ENV_FILE, process.env.PATH,\n"
                 "  process.argv[1], ...process.argv.slice(2)]));\n");
    script.close();

    const auto result =
        await(runNodeScript(root, QStringLiteral("scripts/show.mjs"), {"--flag", "two words"}));
    QVERIFY2(result.ok(), qPrintable(result.ok() ? QString() : result.failure().message));
    const QString expected =
        QStringLiteral("[\"%1\",\"%1/config/.env\",\"%2\",\"%1/scripts/show.mjs\",\"--flag\","
                       "\"two words\"]\n")
            .arg(QDir(root).canonicalPath(), kFixedSearchPath);
    QCOMPARE(result.value(), expected);
}

void TestProcessRunner::awkwardPathsArriveUnexpanded_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("spaces") << "my runtime folder" << QStringList{"a b", "c"};
    QTest::newRow("quotes") << "it's \"quoted\"" << QStringList{"'", "\""};
    QTest::newRow("dollar and backtick") << "$HOME `id` $(id)" << QStringList{"$PATH", "`id`"};
    QTest::newRow("non-ASCII") << "Brevant ü 漢字 🚀" << QStringList{"ünï", "漢"};
    QTest::newRow("empty and blank arguments") << "plain" << QStringList{"", " ", "\n"};
    QTest::newRow("glob and redirection") << "*?[x] > y" << QStringList{"*", "> z", "|", ";"};
}

void TestProcessRunner::awkwardPathsArriveUnexpanded() {
    QFETCH(QString, folder);
    QFETCH(QStringList, arguments);

    const QString root = path(folder);
    QVERIFY(QDir().mkpath(root));
    const QString script = writeScript(folder + QStringLiteral("/show $0 'x'.sh"),
                                       "printf '<%s>' \"$0\" \"$(pwd -P)\" \"$CONFIG_ENV_FILE\" \"$@\"\n");

    const auto result = await(runShellScript(script, arguments, root));
    QVERIFY(result.ok());
    QString expected =
        QStringLiteral("<%1><%2><%3/config/.env>").arg(script, QDir(root).canonicalPath(), root);
    for (const QString& argument : arguments)
        expected += QLatin1Char('<') + argument + QLatin1Char('>');
    QCOMPARE(result.value(), expected);
}

void TestProcessRunner::combinedOutputAndStatus_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text"); // the output, or the error's message

    QTest::newRow("stdout only") << QByteArray("echo hello\n") << true << 0 << "hello\n";
    QTest::newRow("stderr only, exit 0") << QByteArray("echo warned >&2\n") << true << 0 << "warned\n";
    QTest::newRow("stdout then stderr")
        << QByteArray("echo out; echo err >&2\n") << true << 0 << "out\n\nerr\n";
    QTest::newRow("stderr written first still follows stdout")
        << QByteArray("echo err >&2; sleep 0.1; echo out\n") << true << 0 << "out\n\nerr\n";
    QTest::newRow("kept texts are not trimmed")
        << QByteArray("printf '  out  '; printf '\\n\\terr \\n' >&2\n") << true << 0 << "  out  \n\n\terr \n";
    QTest::newRow("blank stdout dropped")
        << QByteArray("printf ' \\n\\t\\n'; echo err >&2\n") << true << 0 << "err\n";
    QTest::newRow("blank stderr dropped")
        << QByteArray("echo out; printf '\\n\\n' >&2\n") << true << 0 << "out\n";
    QTest::newRow("nothing at all") << QByteArray("true\n") << true << 0 << "";
    QTest::newRow("non-ASCII kept") << QByteArray("printf 'grüße 漢字 🚀'\n") << true << 0 << "grüße 漢字 🚀";
    QTest::newRow("blank lines, exit 1")
        << QByteArray("printf '\\n\\n  \\n'; exit 1\n") << false << 1 << "Command failed.";
    QTest::newRow("no-break spaces count as blank")
        << QByteArray("printf '\\xc2\\xa0\\xe2\\x80\\xa8'; exit 1\n") << false << 1 << "Command failed.";
    QTest::newRow("text, exit 3") << QByteArray("echo 'went wrong'; exit 3\n") << false << 3
                                  << "went wrong\n";
    QTest::newRow("both streams, exit 2")
        << QByteArray("echo out; echo err >&2; exit 2\n") << false << 2 << "out\n\nerr\n";
    QTest::newRow("exit 255") << QByteArray("exit 255\n") << false << 255 << "Command failed.";
    QTest::newRow("terminated by a signal")
        << QByteArray("kill -TERM $$\n") << false << int(SIGTERM) << "Command failed.";
    QTest::newRow("killed after printing")
        << QByteArray("echo partial; kill -KILL $$\n") << false << int(SIGKILL) << "partial\n";

    const QList<std::pair<const char*, QByteArray>> invalid{
        {"stray continuation byte", "\\x80"},        {"truncated sequence at the end", "ok \\xe2\\x82"},
        {"overlong encoding", "\\xc0\\xaf"},         {"encoded surrogate", "\\xed\\xa0\\x80"},
        {"beyond U+10FFFF", "\\xf4\\x90\\x80\\x80"}, {"invalid byte amid text", "abc\\xffdef"},
    };
    for (const auto& [name, bytes] : invalid) {
        QTest::addRow("invalid stdout counts as empty: %s", name)
            << QByteArray("printf '" + bytes + "'; echo err >&2\n") << true << 0 << "err\n";
        QTest::addRow("invalid stderr counts as empty: %s", name)
            << QByteArray("echo out; printf '" + bytes + "' >&2; exit 4\n") << false << 4 << "out\n";
    }
    QTest::newRow("both invalid, exit 1")
        << QByteArray("printf '\\xff'; printf '\\xfe' >&2; exit 1\n") << false << 1 << "Command failed.";
}

void TestProcessRunner::combinedOutputAndStatus() {
    QFETCH(QByteArray, body);
    QFETCH(bool, succeeds);
    QFETCH(int, code);
    QFETCH(QString, text);

    const QString script = writeScript(QStringLiteral("run.sh"), body);
    const auto result = await(runShellScript(script, {}, m_dir->path()));
    QCOMPARE(result.ok(), succeeds);
    if (succeeds) {
        QCOMPARE(result.value(), text);
    } else {
        QCOMPARE(result.failure().domain, kErrorDomain);
        QCOMPARE(result.failure().code, code);
        QCOMPARE(result.failure().message, text);
        QCOMPARE(result.failure().description(), text);
    }
}

void TestProcessRunner::startFailurePassesThrough_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("directory"); // empty: inherit the application's
    QTest::addColumn<int>("errorNumber");

    QTest::newRow("missing executable") << "%dir/no such program"
                                        << "" << ENOENT;
    QTest::newRow("bare name is not searched for") << "bash"
                                                   << "" << ENOENT;
    QTest::newRow("not executable") << "%dir/plain.txt"
                                    << "" << EACCES;
    QTest::newRow("a folder") << "%dir"
                              << "" << EACCES;
    QTest::newRow("missing working directory") << "/bin/true"
                                               << "%dir/gone" << ENOENT;
}

void TestProcessRunner::startFailurePassesThrough() {
    QFETCH(QString, executable);
    QFETCH(QString, directory);
    QFETCH(int, errorNumber);

    QFile plain(path(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("echo should not run\n");
    plain.close();
    executable.replace(QStringLiteral("%dir"), m_dir->path());
    directory.replace(QStringLiteral("%dir"), m_dir->path());

    const auto result = await(runProcess(
        executable, {}, directory.isEmpty() ? std::nullopt : std::optional(directory), Environment{}));
    QVERIFY(!result.ok());
    QVERIFY(result.failure().domain != kErrorDomain);
    QCOMPARE(result.failure().code, errorNumber);
    QVERIFY(!result.failure().message.isEmpty());
    QVERIFY(!result.failure().message.contains(QStringLiteral("should not run")));
}

void TestProcessRunner::scriptWithoutExecutePermissionRuns() {
    const QString script =
        writeScript(QStringLiteral("readable.sh"), "echo ran\n", QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(!QFileInfo(script).isExecutable());
    const auto result = await(runShellScript(script, {}, m_dir->path()));
    QVERIFY(result.ok());
    QCOMPARE(result.value(), QStringLiteral("ran\n"));
}

void TestProcessRunner::largeOutputOnBothStreams() {
    // Both streams written at once, each far beyond what a pipe holds.
    constexpr qsizetype size = 100'000'000;
    const QString script =
        writeScript(QStringLiteral("flood.sh"),
                    "head -c " + QByteArray::number(size) + " /dev/zero | tr '\\0' a &\n" + "head -c " +
                        QByteArray::number(size) + " /dev/zero | tr '\\0' b >&2 &\n" + "wait\n");
    const auto result = await(runShellScript(script, {}, m_dir->path()));
    QVERIFY(result.ok());
    const QString& output = result.value();
    QCOMPARE(output.size(), 2 * size + 1);
    QCOMPARE(output.at(size), QLatin1Char('\n'));
    const QStringView view(output);
    QCOMPARE(view.first(size).count(QLatin1Char('a')), size);
    QCOMPARE(view.last(size).count(QLatin1Char('b')), size);
}

void TestProcessRunner::waitingRunsDoNotDelayOthers() {
    QStringList pidFiles;
    QList<std::shared_ptr<PendingRun>> waiting;
    auto cleanup = qScopeGuard([&] { endRuns(pidFiles, waiting); });

    for (int i = 0; i < 5; ++i) {
        const QString pidFile = path(QStringLiteral("waiting-%1.pid").arg(i));
        pidFiles << pidFile;
        const QString script =
            writeScript(QStringLiteral("waiting-%1.sh").arg(i), "echo $$ > \"$1\"\nexec sleep 1000000\n");
        waiting << start(runShellScript(script, {pidFile}, m_dir->path()));
    }
    for (const QString& pidFile : pidFiles)
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidFile).size() > 0, kGenerousTimeout);

    const QString script = writeScript(QStringLiteral("quick.sh"), "echo quick\n");
    const auto quick = start(runShellScript(script, {}, m_dir->path()));
    QTRY_VERIFY_WITH_TIMEOUT(quick->has_value(), kGenerousTimeout);
    QVERIFY((*quick)->ok());
    QCOMPARE((*quick)->value(), QStringLiteral("quick\n"));

    for (const auto& run : waiting)
        QVERIFY(!run->has_value());
    killRecordedPids(pidFiles);
    for (const auto& run : waiting) {
        QTRY_VERIFY_WITH_TIMEOUT(run->has_value(), kGenerousTimeout);
        QVERIFY(!(*run)->ok());
        QCOMPARE((*run)->failure().code, int(SIGTERM));
    }
}

void TestProcessRunner::backgroundProcessHoldingPipesDoesNotKeepRunOpen() {
    // A start script that leaves a daemon behind with its output still on our pipes.
    const QString pidFile = path(QStringLiteral("daemon.pid"));
    const QString script =
        writeScript(QStringLiteral("start.sh"), "nohup sleep 1000000 &\necho $! > \"$1\"\necho started\n");
    const auto run = start(runShellScript(script, {pidFile}, m_dir->path()));
    auto cleanup = qScopeGuard([&] { endRuns({pidFile}, {run}); });

    QTRY_VERIFY_WITH_TIMEOUT(run->has_value(), kGenerousTimeout);
    QVERIFY((*run)->ok());
    // nohup may add a notice on stderr when stdin is a terminal.
    QVERIFY2((*run)->value().startsWith(QStringLiteral("started\n")), qPrintable((*run)->value()));
    // The daemon must still be there holding the pipes, or nothing was proven.
    QFile pid(pidFile);
    QVERIFY(pid.open(QIODevice::ReadOnly));
    QCOMPARE(::kill(pid.readAll().trimmed().toInt(), 0), 0);
}

void TestProcessRunner::noPipeOfAnotherRunIsInherited() {
    const auto openDescriptors = [] {
        const auto result = runProcessSync(QStringLiteral("/bin/ls"), {QStringLiteral("/proc/self/fd")},
                                           std::nullopt, Environment{});
        return result.ok() ? result.value() : QStringLiteral("failed: ") + result.failure().message;
    };
    const QString alone = openDescriptors();

    const QString pidFile = path(QStringLiteral("holder.pid"));
    const QString script = writeScript(QStringLiteral("holder.sh"), "echo $$ > \"$1\"\nexec sleep 1000000\n");
    const auto holder = start(runShellScript(script, {pidFile}, m_dir->path()));
    auto cleanup = qScopeGuard([&] { endRuns({pidFile}, {holder}); });
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidFile).size() > 0, kGenerousTimeout);

    QCOMPARE(openDescriptors(), alone);
}

void TestProcessRunner::callerResumesOnItsThreadAndKeepsRunning() {
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
    timer.start(10);

    QThread* resumedOn = nullptr;
    const QString script = writeScript(QStringLiteral("slow.sh"), "sleep 0.3\necho done\n");
    auto run = [&]() -> QCoro::Task<std::optional<Result<QString>>> {
        auto result = co_await runShellScript(script, {}, m_dir->path());
        resumedOn = QThread::currentThread();
        co_return result;
    };
    const auto result = QCoro::waitFor(run());
    QVERIFY(result && result->ok());
    QCOMPARE(resumedOn, QThread::currentThread());
    QVERIFY(ticks > 0);
}

void TestProcessRunner::resolveExecutable_data() {
    QTest::addColumn<std::optional<QString>>("preferred");
    QTest::addColumn<QString>("command");
    QTest::addColumn<std::optional<QString>>("expected");

    const std::optional<QString> none;
    const QString tool = QStringLiteral("%dir/bin/skerrin-probe-tool");
    QTest::newRow("executable preferred") << std::optional<QString>("%dir/own tool") << "skerrin-probe-tool"
                                          << std::optional<QString>("%dir/own tool");
    QTest::newRow("preferred trimmed") << std::optional<QString>(" \t%dir/own tool\n") << "skerrin-probe-tool"
                                       << std::optional<QString>("%dir/own tool");
    QTest::newRow("no preferred") << none << "skerrin-probe-tool" << std::optional(tool);
    QTest::newRow("spaces-only preferred")
        << std::optional<QString>("   ") << "skerrin-probe-tool" << std::optional(tool);
    QTest::newRow("preferred not executable")
        << std::optional<QString>("%dir/plain.txt") << "skerrin-probe-tool" << std::optional(tool);
    QTest::newRow("preferred missing")
        << std::optional<QString>("%dir/missing") << "skerrin-probe-tool" << std::optional(tool);
    QTest::newRow("preferred is a folder")
        << std::optional<QString>("%dir/bin") << "skerrin-probe-tool" << std::optional(tool);
    QTest::newRow("missing command") << none << "skerrin-no-such-command" << none;
    QTest::newRow("missing command, unusable preferred")
        << std::optional<QString>("%dir/plain.txt") << "skerrin-no-such-command" << none;
}

void TestProcessRunner::resolveExecutable() {
    QFETCH(std::optional<QString>, preferred);
    QFETCH(QString, command);
    QFETCH(std::optional<QString>, expected);

    const auto expand = [&](std::optional<QString>& value) {
        if (value)
            value->replace(QStringLiteral("%dir"), m_dir->path());
    };
    expand(preferred);
    expand(expected);
    writeScript(QStringLiteral("bin/skerrin-probe-tool"), "true\n");
    writeScript(QStringLiteral("own tool"), "true\n");
    writeScript(QStringLiteral("plain.txt"), "true\n", QFile::ReadOwner | QFile::WriteOwner);
    // which searches the application's own PATH; the fixed search path is not added.
    EnvironmentOverride appPath("PATH", QFile::encodeName(path(QStringLiteral("bin"))) + ":/usr/bin:/bin");

    QCOMPARE(skerrin::resolveExecutable(preferred, command), expected);
}

void TestProcessRunner::appleScriptStartFailurePassesThrough() {
    if (QFileInfo::exists(QStringLiteral("/usr/bin/osascript")))
        QSKIP("osascript exists here; driving Terminal is not something to do in a test");
    const auto failure = runAppleScript(QStringLiteral("return 1"));
    QVERIFY(failure.has_value());
    QVERIFY(failure->domain != kErrorDomain);
    QCOMPARE(failure->code, ENOENT);
}

QTEST_GUILESS_MAIN(TestProcessRunner)
#include "tst_process_runner.moc"
