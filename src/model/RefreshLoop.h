// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <QCoroTask>

#include <chrono>
#include <optional>

namespace skerrin {

// Handle of the background refresh loop: the running task and its cancellation.
class RefreshLoop : public QObject {
    Q_OBJECT

public:
    bool isCancelled() const { return m_cancelled; }
    bool hasEnded() const { return m_ended; }

    void cancel();
    // Returns early, without error, when the loop is cancelled meanwhile.
    QCoro::Task<> sleep(std::chrono::milliseconds duration);
    // Completes once the loop's task has returned.
    QCoro::Task<> waitUntilEnded();

    void start(QCoro::Task<> task);
    void markEnded();

signals:
    void woken();
    void ended();

private:
    bool m_cancelled = false;
    bool m_ended = false;
    std::optional<QCoro::Task<>> m_task;
};

} // namespace skerrin
