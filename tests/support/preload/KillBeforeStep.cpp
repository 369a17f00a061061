// SPDX-License-Identifier: MIT
// Preloaded into a program under test: every rename, unlink, rmdir and mkdir below the folder
// KILL_BEFORE_STEP_UNDER is a numbered step. Each step is appended to the file KILL_BEFORE_STEP_LOG
// ("<n> <call> <path>[ <second path>]", the paths relative to that folder's parent); when n equals
// KILL_BEFORE_STEP_AT the process is sent SIGKILL before the call is made, as a crash or a power cut
// of the process would strike. With KILL_BEFORE_STEP_REFUSE_EXCHANGE set, renameat2 refuses
// RENAME_EXCHANGE with EINVAL, as file systems without it do (not a step: nothing changes).
// Children do not inherit it: it takes itself out of LD_PRELOAD when loaded.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Settings {
    std::string under;  // absolute, no trailing slash; empty: log nothing, kill nothing
    std::string parent; // what the logged paths are relative to
    std::string log;
    long killAt = 0;
    bool refuseExchange = false;
};

// Read on first use: a program's first file-system calls can come before this library's own
// static objects are constructed.
const Settings& settings() {
    static const Settings read = [] {
        Settings result;
        if (const char* under = std::getenv("KILL_BEFORE_STEP_UNDER"); under && *under) {
            result.under = under;
            while (result.under.size() > 1 && result.under.back() == '/')
                result.under.pop_back();
            result.parent = result.under.substr(0, result.under.rfind('/') + 1);
        }
        if (const char* log = std::getenv("KILL_BEFORE_STEP_LOG"))
            result.log = log;
        if (const char* at = std::getenv("KILL_BEFORE_STEP_AT"))
            result.killAt = std::strtol(at, nullptr, 10);
        result.refuseExchange = std::getenv("KILL_BEFORE_STEP_REFUSE_EXCHANGE") != nullptr;
        return result;
    }();
    return read;
}

std::atomic<long> g_steps{0};

__attribute__((constructor)) void leaveChildrenAlone() {
    (void)settings();
    ::unsetenv("LD_PRELOAD");
}

// `path` as an absolute path: relative ones against `dirfd` (or the working folder).
std::string absolute(int dirfd, const char* path) {
    if (path == nullptr || path[0] == '/')
        return path == nullptr ? "" : path;
    std::error_code error;
    const std::filesystem::path base =
        dirfd == AT_FDCWD ? std::filesystem::current_path(error)
                          : std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(dirfd), error);
    return error ? path : base.string() + '/' + path;
}

bool isUnder(const std::string& path) {
    const std::string& under = settings().under;
    return !under.empty() && path.compare(0, under.size(), under) == 0 &&
           (path.size() == under.size() || path[under.size()] == '/');
}

// Counts and logs the step when either path lies below the watched folder, then kills on cue.
void step(const char* call, const std::string& first, const std::string& second = {}) {
    if (!isUnder(first) && !isUnder(second))
        return;
    const Settings& set = settings();
    const long number = ++g_steps;
    if (!set.log.empty()) {
        const auto shown = [&set](const std::string& path) {
            return isUnder(path) ? path.substr(set.parent.size()) : path;
        };
        std::string line = std::to_string(number) + ' ' + call + ' ' + shown(first);
        if (!second.empty())
            line += ' ' + shown(second);
        line += '\n';
        // One write of a whole line on an append-only descriptor: the line is in the file before
        // the kill below.
        const int fd = ::open(set.log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            (void)!::write(fd, line.data(), line.size());
            ::close(fd);
        }
    }
    if (number == set.killAt)
        ::kill(::getpid(), SIGKILL);
}

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

// A step, then the real call. (renameat2 below may refuse an exchange instead.)
#define STEP_THEN_CALL(name, label, params, args, ...)                                                       \
    int name params {                                                                                        \
        step(label, __VA_ARGS__);                                                                            \
        static const auto real = next<int(*) params>(#name);                                                 \
        return real args;                                                                                    \
    }

extern "C" {

STEP_THEN_CALL(rename, "rename", (const char* from, const char* to), (from, to), absolute(AT_FDCWD, from),
               absolute(AT_FDCWD, to))
STEP_THEN_CALL(renameat, "renameat", (int fromDir, const char* from, int toDir, const char* to),
               (fromDir, from, toDir, to), absolute(fromDir, from), absolute(toDir, to))
STEP_THEN_CALL(unlink, "unlink", (const char* path), (path), absolute(AT_FDCWD, path))
STEP_THEN_CALL(unlinkat, (flags & AT_REMOVEDIR) != 0 ? "unlinkat(dir)" : "unlinkat",
               (int dir, const char* path, int flags), (dir, path, flags), absolute(dir, path))
STEP_THEN_CALL(rmdir, "rmdir", (const char* path), (path), absolute(AT_FDCWD, path))
STEP_THEN_CALL(remove, "remove", (const char* path), (path), absolute(AT_FDCWD, path))
STEP_THEN_CALL(mkdir, "mkdir", (const char* path, mode_t mode), (path, mode), absolute(AT_FDCWD, path))
STEP_THEN_CALL(mkdirat, "mkdirat", (int dir, const char* path, mode_t mode), (dir, path, mode),
               absolute(dir, path))

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
    constexpr unsigned int exchange = 1U << 1; // RENAME_EXCHANGE
    if ((flags & exchange) != 0 && settings().refuseExchange) {
        errno = EINVAL;
        return -1;
    }
    step((flags & exchange) != 0 ? "renameat2(exchange)" : "renameat2", absolute(fromDir, from),
         absolute(toDir, to));
    static const auto real = next<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
    return real(fromDir, from, toDir, to, flags);
}

} // extern "C"
