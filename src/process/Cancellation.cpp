// SPDX-License-Identifier: MIT
#include "process/Cancellation.h"

#include <QSet>

#include <csignal>
#include <cstdint>
#include <mutex>

#include <sys/eventfd.h>
#include <unistd.h>

namespace skerrin {

struct CancelHandle::State {
    std::mutex mutex;
    bool cancelled = false;
    QSet<pid_t> groups;
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    ~State() {
        if (wake >= 0)
            ::close(wake);
    }
};

CancelHandle::CancelHandle() : m_state(std::make_shared<State>()) {}

void CancelHandle::cancel() const {
    const std::lock_guard lock(m_state->mutex);
    if (m_state->cancelled)
        return;
    m_state->cancelled = true;
    for (const pid_t group : std::as_const(m_state->groups))
        ::killpg(group, SIGTERM);
    // Never read back: the descriptor stays readable for every run and transfer that polls it.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_state->wake, &one, sizeof one);
}

bool CancelHandle::isCancelled() const {
    const std::lock_guard lock(m_state->mutex);
    return m_state->cancelled;
}

int CancelHandle::wakeDescriptor() const {
    return m_state->wake;
}

bool CancelHandle::addGroup(pid_t group) const {
    const std::lock_guard lock(m_state->mutex);
    if (m_state->cancelled) {
        ::killpg(group, SIGTERM);
        return false;
    }
    m_state->groups.insert(group);
    return true;
}

void CancelHandle::removeGroup(pid_t group) const {
    const std::lock_guard lock(m_state->mutex);
    m_state->groups.remove(group);
}

} // namespace skerrin
