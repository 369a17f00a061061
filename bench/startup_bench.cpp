// SPDX-License-Identifier: MIT
// `skerrin state --json` against a program that only creates the same Qt application object,
// a network access manager and a settings store, run alternately in one process.
#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QSettings>
#include <QTemporaryDir>

#include "SpawnMeasure.h"

#include <cstdio>
#include <cstring>

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
