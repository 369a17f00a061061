// SPDX-License-Identifier: MIT
// `skerrin state --json` against a program that only creates the same Qt application object,
// a network access manager and a settings store, run alternately in one process.
#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

int baseline(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Skerrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Skerrin"));
    QNetworkAccessManager network;
    QSettings settings;
    (void)settings.value(QStringLiteral("connectorMenuBar.language"));
    return 0;
}

struct Sample {
    double wallMs = 0;
    double peakKiB = 0;
};

// Runs argv with its output discarded; wall time from spawn to reaping, peak RSS from wait4.
Sample measure(const std::vector<const char*>& arguments) {
    std::vector<char*> argv;
    for (const char* a : arguments)
        argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    Sample sample;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        sample.peakKiB = double(usage.ru_maxrss);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::fprintf(stderr, "%s exited abnormally (status %d)\n", argv[0], status);
    }
    sample.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return sample;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--baseline") == 0)
        return baseline(argc, argv);

    // A home of its own, so the measurement neither reads nor writes the user's settings.
    QTemporaryDir home;
    const QByteArray homePath = home.path().toLocal8Bit();
    ::setenv("HOME", homePath.constData(), 1);
    ::setenv("XDG_CONFIG_HOME", (homePath + "/config").constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Nothing is listening here: the platform request fails at once instead of leaving the machine.
    ::setenv("SKERRIN_PLATFORM_BASE_URL", "http://127.0.0.1:9", 1);

    constexpr int runs = 30;
    std::vector<double> appWall, appPeak, baseWall, basePeak;
    measure({SKERRIN_BINARY, "state", "--json"}); // warm the page cache
    measure({argv[0], "--baseline"});
    for (int i = 0; i < runs; ++i) {
        const Sample app = measure({SKERRIN_BINARY, "state", "--json"});
        const Sample base = measure({argv[0], "--baseline"});
        appWall.push_back(app.wallMs);
        appPeak.push_back(app.peakKiB);
        baseWall.push_back(base.wallMs);
        basePeak.push_back(base.peakKiB);
    }
    std::printf("startup_runs: %d\n", runs);
    std::printf("startup_median_wall_ms: skerrin %.1f, baseline %.1f\n", median(appWall), median(baseWall));
    std::printf("startup_median_peak_rss_kib: skerrin %.0f, baseline %.0f\n", median(appPeak),
                median(basePeak));
    std::printf("startup_wall_ratio: %.2f (goal <= 1.3)\n", median(appWall) / median(baseWall));
    std::printf("startup_peak_rss_ratio: %.2f (goal <= 1.3)\n", median(appPeak) / median(basePeak));
    return 0;
}
