// SPDX-License-Identifier: MIT
// Measures the process runner against bare posix_spawn baselines measured in the same run.
#include "TimerLateness.h"
#include "process/ProcessRunner.h"
#include "runtime/RuntimeScripts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace skerrin;

namespace {

constexpr qsizetype kStreamSize = 64 * 1024 * 1024;
constexpr qsizetype kFloodChunk = 64 * 1024;

// Helper mode: 64 MiB to each stream, alternating chunks, so both pipes must be drained at once.
int flood() {
    std::vector<char> out(size_t(kFloodChunk), 'a');
    std::vector<char> err(size_t(kFloodChunk), 'b');
    out.back() = '\n';
    err.back() = '\n';
    const auto writeAll = [](int fd, const std::vector<char>& chunk) {
        size_t done = 0;
        while (done < chunk.size()) {
            const ssize_t n = ::write(fd, chunk.data() + done, chunk.size() - done);
            if (n < 0)
                return false;
            done += size_t(n);
        }
        return true;
    };
    for (qsizetype written = 0; written < kStreamSize; written += kFloodChunk) {
        if (!writeAll(STDOUT_FILENO, out) || !writeAll(STDERR_FILENO, err))
            return 1;
    }
    return 0;
}

Result<QString> await(QCoro::Task<Result<QString>> task) {
    auto wrapped = [](QCoro::Task<Result<QString>> inner) -> QCoro::Task<std::optional<Result<QString>>> {
        co_return co_await std::move(inner);
    };
    return *QCoro::waitFor(wrapped(std::move(task)));
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Spawns argv with stdout and stderr on pipes, reads both with poll, waits; gives the bytes read.
qsizetype bareSpawnAndDrain(const std::vector<QByteArray>& arguments) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const QByteArray& a : arguments)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    QByteArray out;
    QByteArray err;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    QByteArray* sinks[2] = {&out, &err};
    char buffer[kFloodChunk];
    int open = spawned == 0 ? 2 : 0;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, n);
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (spawned == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    return out.size() + err.size();
}

void spawnOnly(const char* path) {
    char* argv[] = {const_cast<char*>(path), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, path, nullptr, nullptr, argv, environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}

qint64 statusField(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

// Resets the high-water mark to the current resident size, where the kernel allows it.
void resetPeakMemory() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

void benchSpawnOverhead() {
    constexpr int runs = 200;
    std::vector<double> runner;
    std::vector<double> bare;
    QElapsedTimer timer;
    for (int i = 0; i < 10; ++i) { // warm the pool's threads and the page cache
        (void)await(runProcess({QStringLiteral("/bin/true")}));
        spawnOnly("/bin/true");
    }
    for (int i = 0; i < runs; ++i) {
        timer.start();
        (void)await(runProcess({QStringLiteral("/bin/true")}));
        runner.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.start();
        spawnOnly("/bin/true");
        bare.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double r = median(runner);
    const double b = median(bare);
    std::printf("spawn_true_median_runProcess_ms: %.3f\n", r);
    std::printf("spawn_true_median_posix_spawn_ms: %.3f\n", b);
    std::printf("spawn_true_ratio: %.2f (goal <= 1.5)\n", r / b);
}

void benchFlood(const QString& self) {
    const QByteArray selfBytes = QFile::encodeName(self);
    QElapsedTimer timer;

    timer.start();
    const qsizetype bareBytes = bareSpawnAndDrain({selfBytes, QByteArrayLiteral("--flood")});
    const double bareMs = double(timer.nsecsElapsed()) / 1e6;

    const qint64 before = statusField("VmRSS:");
    resetPeakMemory();
    timer.start();
    qsizetype outputLength = -1;
    {
        const auto result = await(runProcess({self, {QStringLiteral("--flood")}}));
        outputLength = result.ok() ? result.value().size() : -1;
    }
    const double runnerMs = double(timer.nsecsElapsed()) / 1e6;
    const qint64 peak = statusField("VmHWM:");

    const double outputBytes = 2.0 * double(kStreamSize);
    std::printf("flood_output_bytes: %.0f (runner text length %lld, baseline read %lld)\n", outputBytes,
                static_cast<long long>(outputLength), static_cast<long long>(bareBytes));
    std::printf("flood_runProcess_ms: %.1f\n", runnerMs);
    std::printf("flood_baseline_poll_ms: %.1f\n", bareMs);
    std::printf("flood_wall_ratio: %.2f (goal <= 1.5)\n", runnerMs / bareMs);
    std::printf("flood_peak_rss_growth_ratio: %.2f (goal <= 4; growth %.1f MiB)\n",
                double(peak - before) / outputBytes, double(peak - before) / (1024.0 * 1024.0));
}

void benchResponsiveness() {
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("second.sh"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write("sleep 1\necho done\n");
    file.close();

    const auto measure = [&](int runs) {
        QEventLoop loop;
        int pending = runs;
        const TimerLateness lateness;
        for (int i = 0; i < runs; ++i) {
            QCoro::connect(runShellScript(script, {}, dir.path()), &loop, [&](const Result<QString>&) {
                if (--pending == 0)
                    loop.quit();
            });
        }
        if (runs == 0)
            QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        return lateness.worstMs();
    };
    std::printf("timer_lateness_idle_max_ms: %.2f\n", measure(0));
    std::printf("timer_lateness_eight_runs_max_ms: %.2f (goal <= 20)\n", measure(8));
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--flood") == 0)
        return flood();
    QCoreApplication app(argc, argv);
    benchSpawnOverhead();
    benchFlood(QCoreApplication::applicationFilePath());
    benchResponsiveness();
    return 0;
}
