// SPDX-License-Identifier: MIT
#include "core/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

namespace skerrin {
namespace {

// getpwnam and getpwuid are not reentrant, and the probes run on worker threads.
template <typename Lookup> std::optional<QString> homeFromPasswd(Lookup lookup) {
    const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (lookup(&entry, buffer, &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (found == nullptr || found->pw_dir == nullptr)
        return std::nullopt;
    return QString::fromLocal8Bit(found->pw_dir);
}

std::optional<QString> homeOfUser(const QString& user) {
    const QByteArray name = user.toLocal8Bit();
    return homeFromPasswd([&name](passwd* entry, std::vector<char>& buffer, passwd** found) {
        return getpwnam_r(name.constData(), entry, buffer.data(), buffer.size(), found);
    });
}

std::optional<QString> currentHome() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return home;
    return homeFromPasswd([](passwd* entry, std::vector<char>& buffer, passwd** found) {
        return getpwuid_r(getuid(), entry, buffer.data(), buffer.size(), found);
    });
}

} // namespace

QString expandTilde(const QString& path) {
    if (!path.startsWith(QLatin1Char('~')))
        return path;
    qsizetype slash = path.indexOf(QLatin1Char('/'));
    if (slash < 0)
        slash = path.size();
    const QString user = path.mid(1, slash - 1);
    const std::optional<QString> home = user.isEmpty() ? currentHome() : homeOfUser(user);
    if (!home)
        return path;
    QString base = *home;
    // "/" as HOME must not turn "~/x" into "//x".
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString rest = path.mid(slash);
    if (base == QLatin1String("/") && !rest.isEmpty())
        return rest;
    return base + rest;
}

} // namespace skerrin
