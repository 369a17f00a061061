// SPDX-License-Identifier: MIT
#include "model/StatusRefresh.h"

#include "diagnostics/EnvFile.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/RefreshLoop.h"
#include "process/ProcessRunner.h"
#include "runtime/RuntimeLayout.h"

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
    const bool chinese = language == AppLanguage::chinese;
    if (isRunning) {
        if (auto pid = firstLineContaining(lines, QStringLiteral("connector pid:")))
            return *pid;
        if (auto service = firstLineContaining(lines, QStringLiteral("launchd service")))
            return *service;
        return chinese ? QStringLiteral("桌面服务已在线。") : QStringLiteral("Desktop service is online.");
    }
    if (auto warning = firstLineContaining(lines, QStringLiteral("warning:")))
        return *warning;
    return chinese ? QStringLiteral("桌面服务未运行。Runtime：") + runtimeRoot
                   : QStringLiteral("Desktop service is not running. Runtime: ") + runtimeRoot;
}

QCoro::Task<> ConnectorMenuBarModel::refreshStatus(bool allowAutoRecovery) {
    const std::optional<QString> root = validRuntimeRoot(m_runtimeRoot);
    if (!root) {
        setStatusSummary(QStringLiteral("Not configured"));
        setStatusDetail(
            m_runtimeRoot.isEmpty()
                ? ui(QStringLiteral("Install the standard runtime or choose a Brevant runtime folder."),
                     QStringLiteral("安装标准 Runtime，或选择一个 Brevant Runtime 目录。"))
                : ui(QStringLiteral("Selected folder does not look like a Brevant runtime."),
                     QStringLiteral("当前选择的目录看起来不像 Brevant Runtime。")));
        setIsRunning(false);
        co_return;
    }

    setIsBusy(true);
    const QString script = runtimePath(*root, RuntimeLayout::statusScript);
    QCoro::Task<Result<QString>> run = runShellScript(script, {}, *root);
    const Result<QString> result = co_await std::move(run);
    if (result.ok()) {
        const bool running = connectorIsRunning(result.value());
        setIsRunning(running);
        setStatusSummary(running ? ui(QStringLiteral("Running"), QStringLiteral("运行中"))
                                 : ui(QStringLiteral("Stopped"), QStringLiteral("未运行")));
        setStatusDiagnostics(trimmed(result.value()));
        setStatusDetail(summarizeConnectorStatus(m_statusDiagnostics, *root, m_isRunning, m_language));
    } else {
        setIsRunning(false);
        setStatusSummary(ui(QStringLiteral("Error"), QStringLiteral("错误")));
        setStatusDetail(result.failure().description());
        setStatusDiagnostics(result.failure().description());
    }
    setIsBusy(false);

    // Every caller passes false; the rule stays available for a future automatic recovery switch.
    if (allowAutoRecovery && !m_isRunning && !m_hasAttemptedAutoRecovery) {
        m_hasAttemptedAutoRecovery = true;
        setTransientMessage(ui(QStringLiteral("Desktop service is offline. Attempting recovery..."),
                               QStringLiteral("桌面服务离线，正在尝试恢复...")));
        co_await startConnector(
            ui(QStringLiteral("Desktop service recovered."), QStringLiteral("桌面服务已恢复。")),
            ui(QStringLiteral("Desktop service recovery requested."), QStringLiteral("已请求恢复桌面服务。")),
            true);
    }
}

QCoro::Task<> ConnectorMenuBarModel::loadDeepSetupChecksIfNeeded() {
    if (m_hasLoadedDeepSetupChecks)
        co_return;
    // Set before awaiting, so a second call while the first runs does nothing.
    setHasLoadedDeepSetupChecks(true);
    co_await refreshSetupChecks(true);
}

QCoro::Task<> ConnectorMenuBarModel::bootstrap() {
    RefreshLoop& loop = *m_refreshLoopTask;
    co_await refreshDesktopRuntimeStatus(true);
    for (;;) {
        refreshPairingSession();
        markFirstPassDone();
        if (loop.isCancelled())
            break;
        co_await loop.sleep(m_options.refreshPeriod);
        if (loop.isCancelled())
            break;
        co_await refreshDesktopRuntimeStatus(false);
    }
    loop.markEnded();
}

} // namespace skerrin
