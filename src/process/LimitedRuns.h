// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>

#include <mutex>

#include <sys/types.h>

namespace skerrin {

// Whether, and why, a child's group was ended by Skerrin rather than by the child's own exit.
enum class GroupEnded { no, atLimit, interrupted, cancelled };

// The process groups of the runs with a limit, so that an interrupted application can end them
// (endLimitedRuns). A run leaves the set before its child is reaped, so a group id here never
// names a stranger.
class LimitedRuns {
public:
    static LimitedRuns& instance();

    // Once endAll has been called, a group added is ended at once.
    void add(pid_t group);
    // How the group was ended here; GroupEnded::no for a group that never was, or was never added.
    GroupEnded remove(pid_t group);
    void endAtLimit(pid_t group);
    void endAll();

private:
    void end(pid_t group, GroupEnded why);

    std::mutex m_mutex;
    QHash<pid_t, GroupEnded> m_groups;
    bool m_endAll = false;
};

// Counts a run without a limit for runsWithoutLimitInFlight while it is alive; counts nothing for a
// run with one.
class RunWithoutLimit {
public:
    explicit RunWithoutLimit(bool counted);
    RunWithoutLimit(const RunWithoutLimit&) = delete;
    RunWithoutLimit& operator=(const RunWithoutLimit&) = delete;
    ~RunWithoutLimit();

private:
    bool m_counted;
};

} // namespace skerrin
