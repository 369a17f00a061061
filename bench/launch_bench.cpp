// SPDX-License-Identifier: MIT
// `skerrin --windowed` from launch to the panel shown, against a bare QApplication showing an
// empty widget of the panel's size, and against the same widget with one line of text in both
// scripts (what any text costs: the font database, a CJK fallback font, glyphs); each in a process
// of its own that ends once its window is exposed, run alternately.
#include "app/TrayApplication.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>

#include "SpawnMeasure.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Ends the process the moment a window of the panel's width is exposed: that is "shown". (The
// panel is as tall as its content, so its height says nothing.)
class ExitWhenShown : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed() && window->width() >= 430) {
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

int bare(int argc, char** argv, bool withText) {
    QApplication app(argc, argv);
    QWidget widget;
    widget.setFixedSize(430, 760);
    if (withText)
        new QLabel(QStringLiteral("Skerrin 中文"), &widget);
    widget.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0)
        return bare(argc, argv, false);
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        return bare(argc, argv, true);
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
    std::vector<double> appWall, appPeak, baseWall, basePeak, textWall, textPeak;
    measure({argv[0], "--windowed"}); // warm the page cache
    measure({argv[0], "--bare"});
    measure({argv[0], "--text"});
    for (int i = 0; i < runs; ++i) {
        const Sample app = measure({argv[0], "--windowed"});
        const Sample base = measure({argv[0], "--bare"});
        const Sample text = measure({argv[0], "--text"});
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
    std::printf("launch_wall_ratio: %.2f (goal <= 1.5)\n", median(appWall) / median(baseWall));
    std::printf("launch_peak_rss_ratio: %.2f (goal <= 1.3)\n", median(appPeak) / median(basePeak));
    std::printf("launch_text_widget: %.1f ms, %.0f KiB; ratios against it: wall %.2f, peak %.2f\n",
                median(textWall), median(textPeak), median(appWall) / median(textWall),
                median(appPeak) / median(textPeak));
    return 0;
}
