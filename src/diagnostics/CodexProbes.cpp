// SPDX-License-Identifier: MIT
#include "diagnostics/CodexProbes.h"

#include "diagnostics/EnvFile.h"
#include "model/Types.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStringDecoder>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace skerrin {
namespace {

// getpwnam is not reentrant, and the probes run on worker threads.
std::optional<QString> homeOfUser(const QString& user) {
    const QByteArray name = user.toLocal8Bit();
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (getpwnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (found == nullptr || found->pw_dir == nullptr)
        return std::nullopt;
    return QString::fromLocal8Bit(found->pw_dir);
}

std::optional<QString> currentHome() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (found == nullptr || found->pw_dir == nullptr)
        return std::nullopt;
    return QString::fromLocal8Bit(found->pw_dir);
}

bool entryExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

std::optional<QString> strictUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString unquotedDouble(const QString& value) {
    if (value.size() >= 2 && value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"'))
        return value.mid(1, value.size() - 2);
    return value;
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

std::optional<QString> resolveCodexHome(const std::optional<QString>& envValue,
                                        const std::optional<QString>& defaultValue) {
    const std::optional<QString> candidates[] = {envValue, defaultValue, QStringLiteral("~/.codex"),
                                                 QStringLiteral("~/.config/codex")};
    static const QString markers[] = {QStringLiteral("/auth.json"), QStringLiteral("/config.toml"),
                                      QStringLiteral("/sessions"), QStringLiteral("/archived_sessions")};
    for (const std::optional<QString>& candidate : candidates) {
        const QString value = trimmed(candidate.value_or(QString()));
        if (value.isEmpty())
            continue;
        const QString path = expandTilde(value);
        if (!entryExists(path))
            continue;
        for (const QString& marker : markers) {
            if (entryExists(path + marker))
                return path;
        }
    }
    return std::nullopt;
}

ProbeResult codexLoginStatus(const QString& codexBin) {
    QProcess process;
    // QProcess searches PATH for a bare name; the tool is addressed by path only.
    const bool bareName = !codexBin.isEmpty() && !codexBin.contains(QLatin1Char('/'));
    process.setProgram(bareName ? QStringLiteral("./") + codexBin : codexBin);
    process.setArguments({QStringLiteral("login"), QStringLiteral("status")});
    process.setProcessChannelMode(QProcess::SeparateChannels);
    // Nothing is typed into the probe; an inherited terminal must not be read by it.
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1))
        return {false, process.errorString()};
    // Waiting reads both pipes as they fill, so a child writing megabytes never stalls.
    process.waitForFinished(-1);

    QStringList kept;
    for (const QByteArray& bytes : {process.readAllStandardOutput(), process.readAllStandardError()}) {
        const QString text = strictUtf8(bytes).value_or(QString());
        if (!trimmed(text).isEmpty())
            kept.append(text);
    }
    const QString result = trimmed(kept.join(QLatin1Char('\n')));
    if (result.isEmpty())
        return {false, QStringLiteral("No login status output")};
    const QLocale locale = QLocale::system();
    const QString lower = locale.toLower(result);
    // "Not logged in" contains "logged in" too; reporting it as ready would hide the problem.
    const bool loggedIn =
        lower.contains(QStringLiteral("logged in")) && !lower.contains(QStringLiteral("not logged in"));
    return {loggedIn, result};
}

ProbeResult codexProxyStatus(const QString& codexHome) {
    const QString path = codexHome + QStringLiteral("/config.toml");
    QFile file(path);
    std::optional<QString> text;
    if (file.open(QIODevice::ReadOnly))
        text = strictUtf8(file.readAll());
    if (!text || file.error() != QFileDevice::NoError)
        return {false, QStringLiteral("Missing ") + path};

    bool inEnv = false;
    QString httpProxy;
    QString httpsProxy;
    for (const QString& rawLine : splitLines(*text)) {
        const QString line = trimmed(rawLine);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inEnv = line == QLatin1String("[env]");
            continue;
        }
        if (!inEnv)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = trimmed(line.left(equals));
        const QString value = unquotedDouble(trimmed(line.mid(equals + 1)));
        if (key == QLatin1String("HTTP_PROXY"))
            httpProxy = value;
        else if (key == QLatin1String("HTTPS_PROXY"))
            httpsProxy = value;
    }
    if (!httpProxy.isEmpty() && !httpsProxy.isEmpty())
        return {true, QStringLiteral("HTTP_PROXY + HTTPS_PROXY configured in config.toml")};
    return {false, QStringLiteral("HTTP_PROXY or HTTPS_PROXY missing in config.toml")};
}

} // namespace skerrin
