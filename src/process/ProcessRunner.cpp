// SPDX-License-Identifier: MIT
#include "process/ProcessRunner.h"

#include "core/Text.h"
#include "process/BackgroundWork.h"

#include <QByteArray>
#include <QFile>

#include <qcoro/qcorofuture.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <limits>
#include <mutex>
#include <variant>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/syscall.h>

extern char** environ;

namespace skerrin {
namespace {

const QString kCommandFailed = QStringLiteral("Command failed.");
const QByteArray kPathName = QByteArrayLiteral("PATH");

// A pipe holds 64 KiB by default, so one read rarely returns more.
constexpr qsizetype kReadChunk = 64 * 1024;
// Bounds one stream's turn so the exit of the child is noticed even when a
// background process keeps a pipe full.
constexpr qsizetype kReadTurn = 1024 * 1024;
// Without a pidfd the exit of the child is polled for this often (milliseconds).
constexpr int kExitPollInterval = 5;
// How long a cancelled child has to end after SIGTERM before it gets SIGKILL.
constexpr std::chrono::seconds kCancelGrace{3};

Error platformError(int code) {
    return Error{QStringLiteral("POSIX"), code, QString::fromLocal8Bit(std::strerror(code))};
}

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

struct Pipe {
    FileDescriptor read;
    FileDescriptor write;
};

// Both ends close on exec, so no other run's child inherits them; only the parent's end reads
// without blocking, the child writes to an ordinary blocking pipe.
std::optional<Error> openPipe(Pipe& pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return platformError(errno);
    pipe.read.reset(fds[0]);
    pipe.write.reset(fds[1]);
    const int flags = ::fcntl(fds[0], F_GETFL);
    if (flags < 0 || ::fcntl(fds[0], F_SETFL, flags | O_NONBLOCK) != 0)
        return platformError(errno);
    return std::nullopt;
}

// A null-terminated pointer vector over byte strings that outlive it.
std::vector<char*> pointersTo(std::vector<QByteArray>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (QByteArray& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

QByteArray variableName(const char* entry) {
    const char* equals = std::strchr(entry, '=');
    return equals ? QByteArray(entry, equals - entry) : QByteArray(entry);
}

// The application's environment with the additions replacing inherited names, and PATH when absent.
// Inherited entries keep their bytes exactly.
std::vector<QByteArray> childEnvironment(const Environment& additions, bool fillMissingPath) {
    QHash<QByteArray, QByteArray> added;
    for (auto it = additions.cbegin(); it != additions.cend(); ++it)
        added.insert(it.key().toUtf8(), it.key().toUtf8() + '=' + it.value().toUtf8());

    std::vector<QByteArray> entries;
    bool hasPath = added.contains(kPathName);
    for (char** entry = environ; entry && *entry; ++entry) {
        const QByteArray name = variableName(*entry);
        if (added.contains(name))
            continue;
        hasPath = hasPath || name == kPathName;
        entries.emplace_back(*entry);
    }
    for (auto it = added.cbegin(); it != added.cend(); ++it)
        entries.push_back(it.value());
    if (!hasPath && fillMissingPath)
        entries.push_back(kPathName + '=' + kFixedSearchPath.toUtf8());
    return entries;
}

using Clock = std::chrono::steady_clock;

enum class Ended { no, atLimit, interrupted, cancelled };

struct Finished {
    Ended ended = Ended::no;
    int status = 0; // exit status, or the signal's number
    QByteArray out;
    QByteArray err;
};

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

std::atomic<int> g_runsWithoutLimit{0};

// The process groups of the runs with a limit, so that an interrupted application can end them.
// A run leaves the set before its child is reaped, so a group id here never names a stranger.
class LimitedRuns {
public:
    static LimitedRuns& instance() {
        static LimitedRuns runs;
        return runs;
    }

    void add(pid_t group) {
        const std::lock_guard lock(m_mutex);
        m_groups.insert(group, Ended::no);
        if (m_endAll)
            end(group, Ended::interrupted);
    }
    // Whether, and why, the group was ended here rather than by the child's own exit.
    Ended remove(pid_t group) {
        const std::lock_guard lock(m_mutex);
        return m_groups.take(group);
    }
    void endAtLimit(pid_t group) {
        const std::lock_guard lock(m_mutex);
        end(group, Ended::atLimit);
    }
    void endAll() {
        const std::lock_guard lock(m_mutex);
        m_endAll = true;
        for (auto it = m_groups.keyBegin(); it != m_groups.keyEnd(); ++it)
            end(*it, Ended::interrupted);
    }

private:
    // SIGKILL also ends a stopped child, which would hold a SIGTERM until it is continued.
    void end(pid_t group, Ended why) {
        if (m_groups.value(group) != Ended::no)
            return;
        ::killpg(group, SIGKILL);
        m_groups[group] = why;
    }

    std::mutex m_mutex;
    QHash<pid_t, Ended> m_groups;
    bool m_endAll = false;
};

// Drains both pipes while the child runs. The run ends when the direct child has ended, even if a
// process it left behind still holds the pipes open; what they hold at that moment is kept. With a
// deadline, the child's group is ended there.
// A cancel handle's SIGTERM comes from the handle itself; here the group gets SIGKILL once the grace
// has passed, and whatever is left of it once the child has ended (before it is reaped, so the group
// id cannot have been reused).
Finished collect(pid_t pid, Pipe& outPipe, Pipe& errPipe, std::optional<Clock::time_point> deadline,
                 const std::optional<CancelHandle>& cancel) {
    Finished finished;
    std::vector<Stream> streams{{&outPipe.read, &finished.out}, {&errPipe.read, &finished.err}};

    // The syscall rather than glibc's wrapper, whose header in some releases lacks C linkage.
    FileDescriptor pidfd;
#ifdef SYS_pidfd_open
    pidfd.reset(int(::syscall(SYS_pidfd_open, pid, 0)));
#endif

    bool exited = false;
    bool cancelSeen = false;
    // When the cancelled group gets SIGKILL; max() while none is due. (Not an optional: GCC 12 at -O2
    // warns that one may be read uninitialized.)
    Clock::time_point killAt = Clock::time_point::max();
    std::optional<int> waitStatus;
    const auto anyOpen = [&] {
        return std::any_of(streams.begin(), streams.end(), [](const Stream& s) { return s.fd->valid(); });
    };
    while (!exited && (anyOpen() || pidfd.valid() || deadline || cancel)) {
        std::vector<pollfd> fds;
        std::vector<Stream*> polled;
        for (Stream& s : streams) {
            if (s.fd->valid()) {
                fds.push_back({s.fd->get(), POLLIN, 0});
                polled.push_back(&s);
            }
        }
        const size_t cancelIndex = fds.size();
        if (cancel && !cancelSeen)
            fds.push_back({cancel->wakeDescriptor(), POLLIN, 0});
        if (pidfd.valid())
            fds.push_back({pidfd.get(), POLLIN, 0});
        int timeout = pidfd.valid() ? -1 : kExitPollInterval;
        if (killAt != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(killAt - Clock::now());
            if (left.count() <= 0) {
                ::killpg(pid, SIGKILL);
                killAt = Clock::time_point::max();
                continue;
            }
            timeout = timeout < 0 ? int(left.count()) : std::min<int>(timeout, int(left.count()));
        }
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            if (left.count() <= 0) {
                LimitedRuns::instance().endAtLimit(pid);
                deadline.reset(); // the child's exit, seen below, ends the loop
                continue;
            }
            timeout = timeout < 0 ? int(left.count()) : std::min<int>(timeout, int(left.count()));
        }
        const int ready = ::poll(fds.data(), nfds_t(fds.size()), timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            break; // cannot wait on the pipes any more; the blocking wait below still ends the run
        for (size_t i = 0; i < polled.size(); ++i) {
            if (fds[i].revents != 0)
                readAvailable(*polled[i], kReadTurn);
        }
        if (cancel && !cancelSeen && fds[cancelIndex].revents != 0) {
            cancelSeen = true;
            killAt = Clock::now() + kCancelGrace;
        }
        if (pidfd.valid()) {
            exited = fds.back().revents != 0;
        } else {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                waitStatus = status;
                exited = true;
            }
        }
    }
    for (Stream& s : streams) {
        if (s.fd->valid())
            readAvailable(s, pendingBytes(*s.fd));
        s.fd->reset();
    }
    finished.ended = LimitedRuns::instance().remove(pid);
    if (cancel) {
        cancel->removeGroup(pid);
        if (cancelSeen || cancel->isCancelled()) {
            ::killpg(pid, SIGKILL);
            finished.ended = Ended::cancelled;
        }
    }
    finished.status = terminationStatus(waitStatus ? *waitStatus : reap(pid));
    return finished;
}

// Starts the executable (never searched for) with argv[0] set to its path, and waits for it.
std::variant<Finished, Error> spawnAndWait(const ProcessSpec& spec) {
    Pipe outPipe;
    Pipe errPipe;
    if (auto failure = openPipe(outPipe))
        return *failure;
    if (auto failure = openPipe(errPipe))
        return *failure;

    std::vector<QByteArray> argumentBytes;
    argumentBytes.reserve(size_t(spec.arguments.size()) + 1);
    const QByteArray executableBytes = QFile::encodeName(spec.executable);
    argumentBytes.push_back(executableBytes);
    for (const QString& argument : spec.arguments)
        argumentBytes.push_back(argument.toUtf8());
    std::vector<char*> argv = pointersTo(argumentBytes);
    std::vector<QByteArray> environment = childEnvironment(spec.additions, spec.fillMissingPath);
    std::vector<char*> envp = pointersTo(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Nothing is ever typed into a child: our own terminal or pipe is not theirs to read.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe.write.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe.write.get(), STDERR_FILENO);
    QByteArray directoryBytes;
    if (spec.currentDirectory) {
        directoryBytes = QFile::encodeName(*spec.currentDirectory);
        posix_spawn_file_actions_addchdir_np(&actions, directoryBytes.constData());
    }

    // Signals the application ignores or blocks must not stay ignored or blocked in the child.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigfillset(&defaults);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &unblocked);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    // Assigned rather than built by a conditional expression: GCC 12 at -O2 then warns that the
    // empty optional's value may be read uninitialised.
    std::optional<Clock::time_point> deadline;
    if (spec.limit)
        deadline = Clock::now() + spec.limit->duration;
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, executableBytes.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    outPipe.write.reset();
    errPipe.write.reset();
    if (spawned != 0)
        return platformError(spawned);
    if (spec.limit)
        LimitedRuns::instance().add(pid);
    else
        ++g_runsWithoutLimit;
    if (spec.cancel)
        spec.cancel->addGroup(pid);
    Finished finished = collect(pid, outPipe, errPipe, deadline, spec.cancel);
    if (!spec.limit)
        --g_runsWithoutLimit;
    return finished;
}

bool isBlank(const QChar* begin, const QChar* end) {
    return std::all_of(begin, end, [](QChar c) { return c.isSpace(); });
}

// Standard output then standard error, each kept only if not blank, joined with one line feed.
// Decodes straight into one buffer and frees each byte stream once decoded, so large output is
// never held as bytes, two texts and their join at the same time.
QString combinedOutput(QByteArray& out, QByteArray& err) {
    // A UTF-16 text never has more code units than its UTF-8 form has bytes.
    QString combined(out.size() + 1 + err.size(), Qt::Uninitialized);
    QChar* const begin = combined.data();

    QChar* end = appendStrictUtf8(begin, out);
    if (isBlank(begin, end))
        end = begin;
    out = QByteArray();

    QChar* const errBegin = end == begin ? begin : end + 1;
    QChar* errEnd = appendStrictUtf8(errBegin, err);
    err = QByteArray();
    if (!isBlank(errBegin, errEnd)) {
        if (errBegin != begin)
            *end = QLatin1Char('\n');
        end = errEnd;
    }

    combined.truncate(end - begin);
    combined.squeeze();
    return combined;
}

} // namespace

Result<ProcessOutcome> runToCompletion(const ProcessSpec& spec) {
    if (spec.cancel && spec.cancel->isCancelled())
        return error(kCancelledText);
    auto outcome = spawnAndWait(spec);
    if (auto* failure = std::get_if<Error>(&outcome))
        return std::move(*failure);
    auto& finished = std::get<Finished>(outcome);
    if (finished.ended == Ended::atLimit)
        return error(spec.limit->message);
    if (finished.ended == Ended::interrupted)
        return error(QStringLiteral("Stopped because Skerrin was interrupted."));
    if (finished.ended == Ended::cancelled)
        return error(kCancelledText);
    return ProcessOutcome{finished.status, combinedOutput(finished.out, finished.err)};
}

Result<QString> runProcessSync(const ProcessSpec& spec) {
    Result<ProcessOutcome> run = runToCompletion(spec);
    if (!run.ok())
        return run.failure();
    ProcessOutcome& outcome = run.value();
    if (outcome.status == 0)
        return std::move(outcome.output);
    return Error{kErrorDomain, outcome.status, outcome.output.isEmpty() ? kCommandFailed : outcome.output};
}

Result<QString> runProcessSync(const QString& executable, const QStringList& arguments,
                               const std::optional<QString>& currentDirectory,
                               const Environment& environment) {
    return runProcessSync(ProcessSpec{executable, arguments, currentDirectory, environment});
}

QCoro::Task<Result<QString>> runProcess(ProcessSpec spec) {
    // Copied into the pool's task before this frame suspends: GCC 12 mishandles captures moved
    // out of a coroutine's parameters.
    QFuture<Result<QString>> run = runOffGuiThread([spec] { return runProcessSync(spec); });
    co_await run;
    co_return run.result();
}

void endLimitedRuns() {
    LimitedRuns::instance().endAll();
}

int runsWithoutLimitInFlight() {
    return g_runsWithoutLimit.load();
}

} // namespace skerrin
