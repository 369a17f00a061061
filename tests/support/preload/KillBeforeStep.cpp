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
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    if (path == nullptr)
        return {};
    if (path[0] == '/')
        return path;
    char base[PATH_MAX] = {};
    if (dirfd == AT_FDCWD) {
        if (::getcwd(base, sizeof base) == nullptr)
            return path;
    } else {
        const std::string link = "/proc/self/fd/" + std::to_string(dirfd);
        if (::readlink(link.c_str(), base, sizeof base - 1) < 0)
            return path;
    }
    return std::string(base) + '/' + path;
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

extern "C" {

int rename(const char* from, const char* to) {
    step("rename", absolute(AT_FDCWD, from), absolute(AT_FDCWD, to));
    static const auto real = next<int (*)(const char*, const char*)>("rename");
    return real(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    step("renameat", absolute(fromDir, from), absolute(toDir, to));
    static const auto real = next<int (*)(int, const char*, int, const char*)>("renameat");
    return real(fromDir, from, toDir, to);
}

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

int unlink(const char* path) {
    step("unlink", absolute(AT_FDCWD, path));
    static const auto real = next<int (*)(const char*)>("unlink");
    return real(path);
}

int unlinkat(int dir, const char* path, int flags) {
    step((flags & AT_REMOVEDIR) != 0 ? "unlinkat(dir)" : "unlinkat", absolute(dir, path));
    static const auto real = next<int (*)(int, const char*, int)>("unlinkat");
    return real(dir, path, flags);
}

int rmdir(const char* path) {
    step("rmdir", absolute(AT_FDCWD, path));
    static const auto real = next<int (*)(const char*)>("rmdir");
    return real(path);
}

int remove(const char* path) {
    step("remove", absolute(AT_FDCWD, path));
    static const auto real = next<int (*)(const char*)>("remove");
    return real(path);
}

int mkdir(const char* path, mode_t mode) {
    step("mkdir", absolute(AT_FDCWD, path));
    static const auto real = next<int (*)(const char*, mode_t)>("mkdir");
    return real(path, mode);
}

int mkdirat(int dir, const char* path, mode_t mode) {
    step("mkdirat", absolute(dir, path));
    static const auto real = next<int (*)(int, const char*, mode_t)>("mkdirat");
    return real(dir, path, mode);
}

} // extern "C"
