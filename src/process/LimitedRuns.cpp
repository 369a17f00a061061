// SPDX-License-Identifier: MIT
#include "process/LimitedRuns.h"

#include "process/ProcessRunner.h"

#include <atomic>
#include <csignal>

namespace skerrin {
namespace {

std::atomic<int> g_runsWithoutLimit{0};

} // namespace

LimitedRuns& LimitedRuns::instance() {
    static LimitedRuns runs;
    return runs;
}

void LimitedRuns::add(pid_t group) {
    const std::lock_guard lock(m_mutex);
    m_groups.insert(group, GroupEnded::no);
    if (m_endAll)
        end(group, GroupEnded::interrupted);
}

GroupEnded LimitedRuns::remove(pid_t group) {
    const std::lock_guard lock(m_mutex);
    return m_groups.take(group);
}

void LimitedRuns::endAtLimit(pid_t group) {
    const std::lock_guard lock(m_mutex);
    end(group, GroupEnded::atLimit);
}

void LimitedRuns::endAll() {
    const std::lock_guard lock(m_mutex);
    m_endAll = true;
    for (auto it = m_groups.keyBegin(); it != m_groups.keyEnd(); ++it)
        end(*it, GroupEnded::interrupted);
}

// SIGKILL also ends a stopped child, which would hold a SIGTERM until it is continued.
void LimitedRuns::end(pid_t group, GroupEnded why) {
    if (m_groups.value(group) != GroupEnded::no)
        return;
    ::killpg(group, SIGKILL);
    m_groups[group] = why;
}

RunWithoutLimit::RunWithoutLimit(bool counted) : m_counted(counted) {
    if (m_counted)
        ++g_runsWithoutLimit;
}

RunWithoutLimit::~RunWithoutLimit() {
    if (m_counted)
        --g_runsWithoutLimit;
}

void endLimitedRuns() {
    LimitedRuns::instance().endAll();
}

int runsWithoutLimitInFlight() {
    return g_runsWithoutLimit.load();
}

} // namespace skerrin
