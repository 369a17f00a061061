// SPDX-License-Identifier: MIT
#include "diagnostics/CodexProbes.h"

#include "core/BoundedFile.h"
#include "core/Paths.h"
#include "core/Text.h"
#include "diagnostics/CodexConfig.h"
#include "process/ProcessRunner.h"

#include <QFileInfo>
#include <QLocale>

namespace skerrin {
namespace {

// Codex's own settings file is small; a larger one (or a link to an endless device) is not read.
constexpr qint64 kMaxConfigSize = 4 * kMiB;

bool entryExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

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
    // Addressed by path only, with the application's environment as it is: a CODEX_HOME from the
    // runtime's .env must not reach the tool.
    ProcessSpec spec{codexBin, {QStringLiteral("login"), QStringLiteral("status")}};
    spec.fillMissingPath = false;
    // A tool that waits for input it will never get would otherwise hold the deep checks forever.
    spec.limit = TimeLimit{std::chrono::seconds(10), QStringLiteral("codex login status timed out")};
    const Result<ProcessOutcome> run = runToCompletion(spec);
    if (!run.ok())
        return {false, run.failure().description()};
    // The exit status says nothing here; only the words do.
    const QString result = trimmed(run.value().output);
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
    const std::optional<QByteArray> bytes = readRegularFile(path, kMaxConfigSize);
    const std::optional<CodexProxyEnv> proxies = bytes ? readCodexProxyEnv(*bytes) : std::nullopt;
    if (!proxies)
        return {false, QStringLiteral("Missing ") + path};
    if (!proxies->httpProxy.isEmpty() && !proxies->httpsProxy.isEmpty())
        return {true, QStringLiteral("HTTP_PROXY + HTTPS_PROXY configured in config.toml")};
    return {false, QStringLiteral("HTTP_PROXY or HTTPS_PROXY missing in config.toml")};
}

} // namespace skerrin
