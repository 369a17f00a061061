// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <sys/types.h>

namespace skerrin {

// A request to end one long action, shared by the action and whoever may stop it, from any thread.
// Copies share one state. A run carrying it leads a process group of its own; cancelling sends that
// group SIGTERM at once, and the run sends SIGKILL 3 seconds later if its child is still there, and
// to whatever the child left in its group once it has ended.
class CancelHandle {
public:
    CancelHandle();

    // Idempotent; later runs with this handle end as soon as they start.
    void cancel() const;
    bool isCancelled() const;
    // Readable (and stays readable) once cancelled: for poll(2) or a socket notifier.
    int wakeDescriptor() const;

    // For the process runner: a group to signal on cancel. False when already cancelled, in which
    // case the group is signalled here.
    bool addGroup(pid_t group) const;
    // Leaves the set before the group's leader is reaped, so a later cancel never signals a stranger.
    void removeGroup(pid_t group) const;

    bool operator==(const CancelHandle& other) const { return m_state == other.m_state; }

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace skerrin
