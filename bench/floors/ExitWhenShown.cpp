// SPDX-License-Identifier: MIT
// Preloaded into a program measured from launch to its window shown: ends the process the moment a
// window of the panel's width is exposed. (The panel is as tall as its content, so its height says
// nothing.) The same for Skerrin and for the floors it is measured against. Qt Core only, the
// least a Qt program has: loaded by floors/WatchWhereQtIs.cpp into a process that has Qt.
#include <QCoreApplication>
#include <QEvent>
#include <QVariant>

#include <cstdio>
#include <cstdlib>

namespace {

class ExitWhenShown : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose) {
            if (watched->inherits("QWindow") && watched->property("width").toInt() >= 430) {
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

} // namespace
