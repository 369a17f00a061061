// SPDX-License-Identifier: MIT
#include "model/StatusRefresh.h"

#include "core/Text.h"

#include <algorithm>
#include <optional>

namespace skerrin {
namespace {

const char* const kRunningMarkers[] = {
    "connector pid:",
    "started connector with nohup pid:",
    "started connector tmux session:",
    "connector already running",
};

const char* const kNotRunningMarkers[] = {
    "connector process not running",
    "pid file exists but process is not running",
    "warning: launchd reports running but connector process is missing",
};

std::optional<QString> firstLineContaining(const QStringList& lines, const QString& needle) {
    for (const QString& line : lines) {
        if (line.contains(needle, Qt::CaseInsensitive))
            return line;
    }
    return std::nullopt;
}

} // namespace

bool connectorIsRunning(const QString& statusOutput) {
    const QString lower = statusOutput.toLower();
    const auto contains = [&lower](const char* marker) { return lower.contains(QLatin1String(marker)); };
    return std::any_of(std::begin(kRunningMarkers), std::end(kRunningMarkers), contains) &&
           std::none_of(std::begin(kNotRunningMarkers), std::end(kNotRunningMarkers), contains);
}

QString summarizeConnectorStatus(const QString& diagnostics, const QString& runtimeRoot, bool isRunning,
                                 AppLanguage language) {
    QStringList lines;
    for (const QString& piece : splitLines(diagnostics)) {
        if (const QString line = trimmed(piece); !line.isEmpty())
            lines.append(line);
    }
    if (isRunning) {
        if (auto pid = firstLineContaining(lines, QStringLiteral("connector pid:")))
            return *pid;
        if (auto service = firstLineContaining(lines, QStringLiteral("launchd service")))
            return *service;
        return ui(language, QStringLiteral("Desktop service is online."), QStringLiteral("桌面服务已在线。"));
    }
    if (auto warning = firstLineContaining(lines, QStringLiteral("warning:")))
        return *warning;
    return ui(language, QStringLiteral("Desktop service is not running. Runtime: "),
              QStringLiteral("桌面服务未运行。Runtime：")) +
           runtimeRoot;
}

} // namespace skerrin
