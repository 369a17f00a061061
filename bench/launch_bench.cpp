// SPDX-License-Identifier: MIT
// `skerrin --windowed` from launch to the panel shown, against a bare QApplication showing an
// empty widget of the panel's size; each in a process of its own that ends once its window is
// exposed, run alternately.
#include "app/TrayApplication.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>

#include "SpawnMeasure.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Ends the process the moment a window of the panel's size is exposed: that is "shown".
class ExitWhenShown : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed() && window->width() >= 430 && window->height() >= 760) {
                std::fflush(stdout);
                std::_Exit(0);
            }
        }
        return false;
    }
};

void watchForShownWindow() {
    qApp->installEventFilter(new ExitWhenShown);
}
Q_COREAPP_STARTUP_FUNCTION(watchForShownWindow)

int bare(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget widget;
    widget.setFixedSize(430, 760);
    widget.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0)
        return bare(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--windowed") == 0)
        return skerrin::runTrayApplication(argc, argv, true);

    // A home and runtime folder of their own: no settings of the user's, no running instance.
    QTemporaryDir home;
    const QByteArray homePath = home.path().toLocal8Bit();
    ::setenv("HOME", homePath.constData(), 1);
    ::setenv("XDG_CONFIG_HOME", (homePath + "/config").constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", homePath.constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("SKERRIN_PLATFORM_BASE_URL", "http://127.0.0.1:9", 1);

    constexpr int runs = 20;
    std::vector<double> appWall, appPeak, baseWall, basePeak;
    measure({argv[0], "--windowed"}); // warm the page cache
    measure({argv[0], "--bare"});
    for (int i = 0; i < runs; ++i) {
        const Sample app = measure({argv[0], "--windowed"});
        const Sample base = measure({argv[0], "--bare"});
        appWall.push_back(app.wallMs);
        appPeak.push_back(app.peakKiB);
        baseWall.push_back(base.wallMs);
        basePeak.push_back(base.peakKiB);
    }
    std::printf("launch_runs: %d\n", runs);
    std::printf("launch_median_wall_ms: skerrin --windowed %.1f, bare widget %.1f\n", median(appWall),
                median(baseWall));
    std::printf("launch_median_peak_rss_kib: skerrin --windowed %.0f, bare widget %.0f\n", median(appPeak),
                median(basePeak));
    std::printf("launch_wall_ratio: %.2f (goal <= 1.5)\n", median(appWall) / median(baseWall));
    std::printf("launch_peak_rss_ratio: %.2f (goal <= 1.3)\n", median(appPeak) / median(basePeak));
    return 0;
}
