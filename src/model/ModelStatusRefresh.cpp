// SPDX-License-Identifier: MIT
#include "core/Text.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/StatusRefresh.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/RuntimeScripts.h"

namespace skerrin {

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
    // The status script starts nothing that must survive it; one that hangs must not keep every
    // control disabled.
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(m_options.statusScriptLimit).count();
    TimeLimit limit{m_options.statusScriptLimit,
                    ui(QStringLiteral("Status script did not finish within %1 seconds."),
                       QStringLiteral("状态脚本未在 %1 秒内结束。"))
                        .arg(seconds)};
    QCoro::Task<Result<QString>> run = runShellScript(script, {}, *root, std::move(limit));
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

} // namespace skerrin
