// SPDX-License-Identifier: MIT
#include "process/DrainAndWait.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <vector>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>

namespace skerrin {
namespace {

// A pipe holds 64 KiB by default, so one read rarely returns more.
constexpr qsizetype kReadChunk = 64 * 1024;
// Bounds one stream's turn so the exit of the child is noticed even when a
// background process keeps a pipe full.
constexpr qsizetype kReadTurn = 1024 * 1024;
// Without a pidfd the exit of the child is polled for this often (milliseconds).
constexpr int kExitPollInterval = 5;
// How long a cancelled child has to end after SIGTERM before it gets SIGKILL.
constexpr std::chrono::seconds kCancelGrace{3};

struct Stream {
    FileDescriptor* fd;
    QByteArray* sink;
};

// Reads until the pipe is empty, its writers are gone, or limit bytes were taken.
void readAvailable(Stream& stream, qsizetype limit) {
    while (stream.fd->valid() && limit > 0) {
        const qsizetype chunk = std::min(kReadChunk, limit);
        const qsizetype before = stream.sink->size();
        stream.sink->resize(before + chunk);
        const ssize_t n = ::read(stream.fd->get(), stream.sink->data() + before, size_t(chunk));
        stream.sink->resize(before + std::max<qsizetype>(n, 0));
        if (n > 0) {
            limit -= n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        } else {
            stream.fd->reset(); // end of stream or a read error: nothing more will come
        }
    }
}

// What a pipe holds right now; a background process still writing cannot keep us reading.
qsizetype pendingBytes(const FileDescriptor& fd) {
    int count = 0;
    if (::ioctl(fd.get(), FIONREAD, &count) != 0)
        return 0;
    return count;
}

int terminationStatus(int waitStatus) {
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return WTERMSIG(waitStatus);
    return waitStatus;
}

int reap(pid_t pid) {
    int waitStatus = 0;
    while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    return waitStatus;
}

// A poll timeout (-1: none) shortened so that the poll returns by `at`.
int timeoutUntil(int timeout, Clock::time_point at) {
    if (at == kNoDeadline)
        return timeout;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(at - Clock::now()).count();
    const int bounded = int(std::clamp<decltype(left)>(left, 0, INT_MAX));
    return timeout < 0 ? bounded : std::min(timeout, bounded);
}

class Drain {
public:
    Drain(pid_t pid, Pipe& outPipe, Pipe& errPipe, Clock::time_point deadline,
          const std::optional<CancelHandle>& cancel)
        : m_pid(pid), m_streams{{{&outPipe.read, &m_finished.out}, {&errPipe.read, &m_finished.err}}},
          m_deadline(deadline), m_cancel(cancel) {
        // The syscall rather than glibc's wrapper, whose header in some releases lacks C linkage.
#ifdef SYS_pidfd_open
        m_pidfd.reset(int(::syscall(SYS_pidfd_open, pid, 0)));
#endif
    }

    FinishedChild run() {
        while (!m_exited && (anyOpen() || m_pidfd.valid() || m_deadline != kNoDeadline || m_cancel)) {
            if (endGroupIfDue())
                continue;
            if (!waitOnce())
                break; // cannot wait on the pipes any more; the blocking wait in finish() ends the run
        }
        return finish();
    }

private:
    bool anyOpen() const {
        return std::any_of(m_streams.begin(), m_streams.end(), [](const Stream& s) { return s.fd->valid(); });
    }

    // Ends the group once the cancel grace or the limit has passed; true when it did.
    bool endGroupIfDue() {
        const Clock::time_point now = Clock::now();
        if (m_killAt <= now) {
            ::killpg(m_pid, SIGKILL);
            m_killAt = kNoDeadline;
            return true;
        }
        if (m_deadline <= now) {
            LimitedRuns::instance().endAtLimit(m_pid);
            m_deadline = kNoDeadline; // the child's exit, seen next, ends the loop
            return true;
        }
        return false;
    }

    // One poll of the open pipes, the cancel handle and the child's exit; false when poll fails.
    bool waitOnce() {
        std::vector<pollfd> fds;
        std::vector<Stream*> polled;
        for (Stream& s : m_streams) {
            if (s.fd->valid()) {
                fds.push_back({s.fd->get(), POLLIN, 0});
                polled.push_back(&s);
            }
        }
        const size_t cancelIndex = fds.size();
        const bool watchCancel = m_cancel && !m_cancelSeen;
        if (watchCancel)
            fds.push_back({m_cancel->wakeDescriptor(), POLLIN, 0});
        if (m_pidfd.valid())
            fds.push_back({m_pidfd.get(), POLLIN, 0});
        const int timeout =
            timeoutUntil(timeoutUntil(m_pidfd.valid() ? -1 : kExitPollInterval, m_killAt), m_deadline);

        const int ready = ::poll(fds.data(), nfds_t(fds.size()), timeout);
        if (ready < 0)
            return errno == EINTR;
        for (size_t i = 0; i < polled.size(); ++i) {
            if (fds[i].revents != 0)
                readAvailable(*polled[i], kReadTurn);
        }
        if (watchCancel && fds[cancelIndex].revents != 0) {
            m_cancelSeen = true;
            m_killAt = Clock::now() + kCancelGrace;
        }
        if (m_pidfd.valid()) {
            m_exited = fds.back().revents != 0;
        } else if (::waitpid(m_pid, &m_waitStatus, WNOHANG) == m_pid) {
            m_reaped = true;
            m_exited = true;
        }
        return true;
    }

    FinishedChild finish() {
        for (Stream& s : m_streams) {
            if (s.fd->valid())
                readAvailable(s, pendingBytes(*s.fd));
            s.fd->reset();
        }
        m_finished.ended = LimitedRuns::instance().remove(m_pid);
        if (m_cancel) {
            m_cancel->removeGroup(m_pid);
            if (m_cancelSeen || m_cancel->isCancelled()) {
                ::killpg(m_pid, SIGKILL);
                m_finished.ended = GroupEnded::cancelled;
            }
        }
        m_finished.status = terminationStatus(m_reaped ? m_waitStatus : reap(m_pid));
        return std::move(m_finished);
    }

    const pid_t m_pid;
    FinishedChild m_finished;
    std::array<Stream, 2> m_streams;
    FileDescriptor m_pidfd;
    Clock::time_point m_deadline;
    const std::optional<CancelHandle>& m_cancel;
    // When the cancelled group gets SIGKILL; kNoDeadline while none is due.
    Clock::time_point m_killAt = kNoDeadline;
    bool m_cancelSeen = false;
    bool m_exited = false;
    bool m_reaped = false;
    int m_waitStatus = 0;
};

} // namespace

FinishedChild drainAndWait(pid_t pid, Pipe& outPipe, Pipe& errPipe, Clock::time_point deadline,
                           const std::optional<CancelHandle>& cancel) {
    return Drain(pid, outPipe, errPipe, deadline, cancel).run();
}

} // namespace skerrin
