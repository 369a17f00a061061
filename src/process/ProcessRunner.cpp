// SPDX-License-Identifier: MIT
#include "process/ProcessRunner.h"

#include "process/BackgroundWork.h"

#include "runtime/RuntimeLayout.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <variant>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
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
std::vector<QByteArray> childEnvironment(const Environment& additions) {
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
    if (!hasPath)
        entries.push_back(kPathName + '=' + kFixedSearchPath.toUtf8());
    return entries;
}

std::vector<QByteArray> inheritedEnvironment() {
    std::vector<QByteArray> entries;
    for (char** entry = environ; entry && *entry; ++entry)
        entries.emplace_back(*entry);
    return entries;
}

enum class Capture { stdoutAndStderr, stderrOnly };

struct Finished {
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

// Drains both pipes while the child runs. The run ends when the direct child has ended, even if a
// process it left behind still holds the pipes open; what they hold at that moment is kept.
Finished collect(pid_t pid, Pipe* outPipe, Pipe& errPipe) {
    Finished finished;
    std::vector<Stream> streams;
    if (outPipe)
        streams.push_back({&outPipe->read, &finished.out});
    streams.push_back({&errPipe.read, &finished.err});

    // The syscall rather than glibc's wrapper, whose header in some releases lacks C linkage.
    FileDescriptor pidfd;
#ifdef SYS_pidfd_open
    pidfd.reset(int(::syscall(SYS_pidfd_open, pid, 0)));
#endif

    bool exited = false;
    std::optional<int> waitStatus;
    const auto anyOpen = [&] {
        return std::any_of(streams.begin(), streams.end(), [](const Stream& s) { return s.fd->valid(); });
    };
    while (!exited && anyOpen()) {
        std::vector<pollfd> fds;
        std::vector<Stream*> polled;
        for (Stream& s : streams) {
            if (s.fd->valid()) {
                fds.push_back({s.fd->get(), POLLIN, 0});
                polled.push_back(&s);
            }
        }
        if (pidfd.valid())
            fds.push_back({pidfd.get(), POLLIN, 0});
        const int ready = ::poll(fds.data(), nfds_t(fds.size()), pidfd.valid() ? -1 : kExitPollInterval);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            break; // cannot wait on the pipes any more; the blocking wait below still ends the run
        for (size_t i = 0; i < polled.size(); ++i) {
            if (fds[i].revents != 0)
                readAvailable(*polled[i], kReadTurn);
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
    finished.status = terminationStatus(waitStatus ? *waitStatus : reap(pid));
    return finished;
}

// Starts the executable (never searched for) with argv[0] set to its path, and waits for it.
std::variant<Finished, Error> spawnAndWait(const QString& executable, const QStringList& arguments,
                                           const std::optional<QString>& currentDirectory,
                                           std::vector<QByteArray> environment, Capture capture) {
    Pipe outPipe;
    Pipe errPipe;
    const bool captureStdout = capture == Capture::stdoutAndStderr;
    if (captureStdout) {
        if (auto failure = openPipe(outPipe))
            return *failure;
    }
    if (auto failure = openPipe(errPipe))
        return *failure;

    std::vector<QByteArray> argumentBytes;
    argumentBytes.reserve(size_t(arguments.size()) + 1);
    const QByteArray executableBytes = QFile::encodeName(executable);
    argumentBytes.push_back(executableBytes);
    for (const QString& argument : arguments)
        argumentBytes.push_back(argument.toUtf8());
    std::vector<char*> argv = pointersTo(argumentBytes);
    std::vector<char*> envp = pointersTo(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureStdout)
        posix_spawn_file_actions_adddup2(&actions, outPipe.write.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe.write.get(), STDERR_FILENO);
    QByteArray directoryBytes;
    if (currentDirectory) {
        directoryBytes = QFile::encodeName(*currentDirectory);
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
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, executableBytes.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    outPipe.write.reset();
    errPipe.write.reset();
    if (spawned != 0)
        return platformError(spawned);
    return collect(pid, captureStdout ? &outPipe : nullptr, errPipe);
}

// Appends bytes decoded as strict UTF-8 at out; gives out unchanged when they are not valid.
QChar* appendStrictUtf8(QChar* out, QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QChar* end = decoder.appendToBuffer(out, bytes);
    return decoder.hasError() ? out : end;
}

std::optional<QString> strictUtf8(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* begin = text.data();
    QChar* end = appendStrictUtf8(begin, bytes);
    if (end == begin && !bytes.isEmpty())
        return std::nullopt;
    text.truncate(end - begin);
    return text;
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

// Not a coroutine itself: the values are copied into the task before the caller suspends. (GCC 12
// mishandles lambda captures moved from a coroutine's parameters.)
QFuture<Result<QString>> startRun(const QString& executable, const QStringList& arguments,
                                  const std::optional<QString>& currentDirectory,
                                  const Environment& environment) {
    return QtConcurrent::run(&backgroundPool(), [executable, arguments, currentDirectory, environment] {
        return runProcessSync(executable, arguments, currentDirectory, environment);
    });
}

Environment scriptEnvironment(const QString& envFile) {
    return {{QStringLiteral("CONFIG_ENV_FILE"), envFile}, {QStringLiteral("PATH"), kFixedSearchPath}};
}

} // namespace

Result<QString> runProcessSync(const QString& executable, const QStringList& arguments,
                               const std::optional<QString>& currentDirectory,
                               const Environment& environment) {
    auto outcome = spawnAndWait(executable, arguments, currentDirectory, childEnvironment(environment),
                                Capture::stdoutAndStderr);
    if (auto* failure = std::get_if<Error>(&outcome))
        return std::move(*failure);
    auto& finished = std::get<Finished>(outcome);
    QString output = combinedOutput(finished.out, finished.err);
    if (finished.status == 0)
        return output;
    return Error{kErrorDomain, finished.status, output.isEmpty() ? kCommandFailed : output};
}

QCoro::Task<Result<QString>> runProcess(QString executable, QStringList arguments,
                                        std::optional<QString> currentDirectory, Environment environment) {
    QFuture<Result<QString>> run = startRun(executable, arguments, currentDirectory, environment);
    co_await run;
    co_return run.result();
}

// Everything is built in plain locals before the co_await: GCC 12 rejects some temporaries
// (QStringLiteral among them) inside a co_await expression.
QCoro::Task<Result<QString>> runShellScript(QString path, QStringList arguments, QString currentDirectory) {
    const QString bash = QStringLiteral("/bin/bash");
    const QStringList bashArguments = QStringList{path} + arguments;
    const Environment additions = scriptEnvironment(runtimePath(currentDirectory, RuntimeLayout::envFile));
    QFuture<Result<QString>> run = startRun(bash, bashArguments, currentDirectory, additions);
    co_await run;
    co_return run.result();
}

QCoro::Task<Result<QString>> runNodeScript(QString root, QString scriptRelativePath, QStringList arguments) {
    const QString env = QStringLiteral("/usr/bin/env");
    const QStringList envArguments =
        QStringList{QStringLiteral("node"), runtimePath(root, scriptRelativePath)} + arguments;
    const Environment additions = scriptEnvironment(runtimePath(root, RuntimeLayout::envFile));
    QFuture<Result<QString>> run = startRun(env, envArguments, root, additions);
    co_await run;
    co_return run.result();
}

std::optional<QString> resolveExecutable(const std::optional<QString>& preferred,
                                         const QString& fallbackCommand) {
    const QString candidate = trimmed(preferred.value_or(QString()));
    if (!candidate.isEmpty()) {
        const QByteArray path = QFile::encodeName(candidate);
        struct stat info {};
        if (::stat(path.constData(), &info) == 0 && !S_ISDIR(info.st_mode) &&
            ::access(path.constData(), X_OK) == 0)
            return candidate;
    }

    auto outcome = spawnAndWait(QStringLiteral("/usr/bin/which"), {fallbackCommand}, std::nullopt,
                                inheritedEnvironment(), Capture::stdoutAndStderr);
    const auto* finished = std::get_if<Finished>(&outcome);
    if (!finished || finished->status != 0)
        return std::nullopt;
    const std::optional<QString> text = strictUtf8(finished->out);
    if (!text)
        return std::nullopt;
    QString path = trimmed(*text);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<Error> runAppleScript(const QString& source) {
    auto outcome = spawnAndWait(QStringLiteral("/usr/bin/osascript"), {QStringLiteral("-e"), source},
                                std::nullopt, inheritedEnvironment(), Capture::stderrOnly);
    if (auto* failure = std::get_if<Error>(&outcome))
        return std::move(*failure);
    const auto& finished = std::get<Finished>(outcome);
    if (finished.status == 0)
        return std::nullopt;
    const QString text = strictUtf8(finished.err).value_or(QString());
    return error(trimmed(text).isEmpty() ? QStringLiteral("Failed to open Terminal.") : text);
}

} // namespace skerrin
