// SPDX-License-Identifier: MIT
#pragma once

#include "process/Cancellation.h"
#include "process/FileDescriptor.h"
#include "process/LimitedRuns.h"

#include <QByteArray>

#include <chrono>
#include <optional>

#include <sys/types.h>

namespace skerrin {

using Clock = std::chrono::steady_clock;

// A deadline that never comes.
inline constexpr Clock::time_point kNoDeadline = Clock::time_point::max();

struct FinishedChild {
    GroupEnded ended = GroupEnded::no;
    int status = 0; // exit status, or the signal's number
    QByteArray out;
    QByteArray err;
};

// Drains both pipes while the child `pid`, leader of its own group, runs, then reaps it. The run
// ends when the child has ended, even if a process it left behind still holds the pipes open; what
// they hold at that moment is kept. At `deadline` the group is ended as a limited run.
// A cancel handle's SIGTERM comes from the handle itself; here the group gets SIGKILL once the grace
// has passed, and whatever is left of it once the child has ended (before it is reaped, so the group
// id cannot have been reused).
FinishedChild drainAndWait(pid_t pid, Pipe& outPipe, Pipe& errPipe, Clock::time_point deadline,
                           const std::optional<CancelHandle>& cancel);

} // namespace skerrin
