// SPDX-License-Identifier: MIT
// `skerrin --windowed` from launch (the command line that becomes the tray application) to the
// panel shown, against the floors of floors/TextWindow.cpp; each in a process of its own that
// floors/ExitWhenShown.cpp ends once its window is exposed (preloaded where Qt is, by
// floors/WatchWhereQtIs.cpp), run alternately.
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include "SpawnMeasure.h"

#include <cstdio>
#include <cstdlib>

int main() {
    // A home and runtime folder of their own: no settings of the user's, no running instance.
    QTemporaryDir home;
    const QByteArray homePath = home.path().toLocal8Bit();
    ::setenv("HOME", homePath.constData(), 1);
    ::setenv("XDG_CONFIG_HOME", (homePath + "/config").constData(), 1);
    // The session's runtime folder is memory-backed, as on a desktop: the instance lock's sync is free.
    QTemporaryDir runtime(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/skerrin-launch-XXXXXX")
                                                    : home.path() + QStringLiteral("/run-XXXXXX"));
    ::setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("SKERRIN_PLATFORM_BASE_URL", "http://127.0.0.1:9", 1);
    // No tray host on a bus of the desktop's: the panel opens as a window at once.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    ::setenv("LD_PRELOAD", WATCH_WHERE_QT_IS, 1);

    constexpr int runs = 40;
    std::vector<double> appWall, appPeak, baseWall, basePeak, textWall, textPeak;
    measure({SKERRIN_BINARY, "--windowed"}); // warm the page cache
    measure({TEXT_WINDOW, "--bare"});
    measure({TEXT_WINDOW, "--text"});
    for (int i = 0; i < runs; ++i) {
        const Sample app = measure({SKERRIN_BINARY, "--windowed"});
        const Sample base = measure({TEXT_WINDOW, "--bare"});
        const Sample text = measure({TEXT_WINDOW, "--text"});
        appWall.push_back(app.wallMs);
        appPeak.push_back(app.peakKiB);
        baseWall.push_back(base.wallMs);
        basePeak.push_back(base.peakKiB);
        textWall.push_back(text.wallMs);
        textPeak.push_back(text.peakKiB);
    }
    std::printf("launch_runs: %d\n", runs);
    std::printf("launch_median_wall_ms: skerrin --windowed %.1f, bare widget %.1f\n", median(appWall),
                median(baseWall));
    std::printf("launch_median_peak_rss_kib: skerrin --windowed %.0f, bare widget %.0f\n", median(appPeak),
                median(basePeak));
    std::printf("launch_ratios_against_bare_widget: wall %.2f, peak %.2f\n",
                median(appWall) / median(baseWall), median(appPeak) / median(basePeak));
    std::printf(
        "launch_text_widget: %.1f ms, %.0f KiB; ratios against it: wall %.2f (goal <= 1.3), peak %.2f\n",
        median(textWall), median(textPeak), median(appWall) / median(textWall),
        median(appPeak) / median(textPeak));
    return 0;
}
