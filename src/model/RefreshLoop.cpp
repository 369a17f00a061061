// SPDX-License-Identifier: MIT
#include "model/RefreshLoop.h"

#include <QTimer>

#include <QCoroSignal>

namespace skerrin {

void RefreshLoop::cancel() {
    m_cancelled = true;
    emit woken();
}

QCoro::Task<> RefreshLoop::sleep(std::chrono::milliseconds duration) {
    if (m_cancelled)
        co_return;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &RefreshLoop::woken);
    timer.start(duration);
    co_await qCoro(this, &RefreshLoop::woken);
}

QCoro::Task<> RefreshLoop::waitUntilEnded() {
    if (m_ended)
        co_return;
    co_await qCoro(this, &RefreshLoop::ended);
}

void RefreshLoop::start(QCoro::Task<> task) {
    m_task.emplace(std::move(task));
}

void RefreshLoop::markEnded() {
    m_ended = true;
    emit ended();
}

} // namespace skerrin
