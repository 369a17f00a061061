// SPDX-License-Identifier: MIT
// The panel redrawing after a model change, offscreen: 1000 changes that cycle through the status,
// busy (every action button's enablement), running (the summary's colour) and the latest output,
// each timed from the change until the panel has updated and painted. The baseline is a lone label
// given a new text the same way.
#include "model/ConnectorMenuBarModel.h"
#include "model/DesktopService.h"
#include "model/Diagnostics.h"
#include "model/Pairing.h"
#include "model/Refresher.h"
#include "model/RuntimeLocation.h"
#include "panel/ConnectorMenuBarView.h"
#include "support/FakeServices.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace skerrin;
using namespace skerrin::test;

namespace {

constexpr int kChanges = 1000;

struct Timing {
    double medianMs = 0;
    double worstMs = 0;
};

// Each change, then the event loop until `done` says the widget has updated, then what that posted
// (layout and paint).
Timing measure(const std::function<void(int)>& change, const std::function<bool()>& done) {
    std::vector<double> samples;
    samples.reserve(kChanges);
    for (int i = 0; i < kChanges; ++i) {
        QElapsedTimer clock;
        clock.start();
        change(i);
        while (!done())
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        samples.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back()};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TemporaryHome home;
    qputenv("SKERRIN_CHATGPT_URL", "http://127.0.0.1:1/");
    const TestRuntime runtime(home.path() + QStringLiteral("/runtime"));
    ConnectorMenuBarModel model(makeTestServices());
    model.location().updateRuntimeRoot(runtime.root(), std::nullopt);
    ModelSeed(model).latestOutput(QStringLiteral("connector started\npid 4242"));
    ConnectorMenuBarView view(model);
    view.show();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();

    int renders = 0;
    QObject::connect(&view, &ConnectorMenuBarView::rendered, [&renders] { ++renders; });
    const Timing panel = measure(
        [&](int i) {
            ModelSeed seed(model);
            switch (i % 4) {
            case 0:
                seed.message(QStringLiteral("Step %1 of the action...").arg(i));
                break;
            case 1:
                seed.busy(i % 8 == 1);
                break;
            case 2:
                seed.running(i % 8 == 2);
                break;
            default:
                seed.latestOutput(QStringLiteral("line %1\nline %2").arg(i).arg(i + 1));
            }
        },
        [&renders, before = -1]() mutable {
            if (before < 0)
                before = renders;
            if (renders == before)
                return false;
            before = -1;
            return true;
        });

    QLabel label;
    label.show();
    QCoreApplication::processEvents();
    const Timing baseline =
        measure([&label](int i) { label.setText(QStringLiteral("Step %1").arg(i)); }, [] { return true; });

    QCoro::waitFor(model.refresher().cancelRefreshLoop());
    std::printf("panel_update_median_ms: %.3f (goal <= 1)\n", panel.medianMs);
    std::printf("panel_update_worst_ms: %.3f (goal <= 16, worst of %d)\n", panel.worstMs, kChanges);
    std::printf("label_update_median_ms: %.3f (baseline, one label's new text the same way)\n",
                baseline.medianMs);
    return renders >= kChanges ? 0 : 1;
}
