// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

// A precise 10 ms timer that records how late it fires while the event loop serves other work:
// the GUI thread's largest stall.
class TimerLateness {
public:
    TimerLateness() {
        m_tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = std::max(m_worst, now - m_last - kPeriodNs);
            m_last = now;
        });
        m_clock.start();
        m_tick.start(10);
    }
    double worstMs() const { return double(m_worst) / 1e6; }
    double elapsedMs() const { return double(m_clock.nsecsElapsed()) / 1e6; }

private:
    static constexpr qint64 kPeriodNs = 10'000'000;
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};
