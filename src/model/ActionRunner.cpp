// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "process/ProcessRunner.h"
#include "runtime/RuntimeLayout.h"

namespace skerrin {
namespace {

ConnectorMenuBarModel::Operation scriptOperation(QString relativePath) {
    return [relativePath](QString root) -> QCoro::Task<Result<QString>> {
        const QString script = runtimePath(root, relativePath);
        QCoro::Task<Result<QString>> run = runShellScript(script, {}, root);
        co_return co_await std::move(run);
    };
}

} // namespace

QCoro::Task<> ConnectorMenuBarModel::runFullRefresh() {
    co_await refreshStatus(false);
    co_await refreshSetupChecks(true);
    co_await refreshConnectivityChecks(true);
    refreshPairingSession();
    co_await refreshDesktopRuntimeStatus(true);
}

QCoro::Task<> ConnectorMenuBarModel::runAction(QString successMessage, QString fallbackMessage,
                                               bool resetAutoRecoveryFlagOnFailure, Operation operation) {
    const std::optional<QString> root = validRuntimeRoot(m_runtimeRoot);
    if (!root) {
        setTransientMessage(QStringLiteral("Choose a valid runtime folder first."));
        co_return;
    }
    setIsBusy(true);
    QCoro::Task<Result<QString>> pending = operation(*root);
    const Result<QString> result = co_await std::move(pending);
    if (!result.ok() && resetAutoRecoveryFlagOnFailure)
        m_hasAttemptedAutoRecovery = false;
    publishActionResult(result, successMessage, fallbackMessage);
    co_await runFullRefresh();
    setIsBusy(false);
}

QCoro::Task<> ConnectorMenuBarModel::runAgentAction(QString successMessage, QString fallbackMessage,
                                                    QString commandDescription, Operation operation) {
    const QString root = effectiveRuntimeRoot();
    if (!validRuntimeRoot(root)) {
        setTransientMessage(QStringLiteral("Install the desktop runtime first."));
        co_return;
    }
    setIsBusy(true);
    setTransientMessage(commandDescription);
    setLatestActionOutput(commandDescription);
    // Started in a statement of its own: GCC 12 destroys by-value arguments made inside a
    // co_await expression twice.
    QCoro::Task<Result<QString>> pending = operation(root);
    const Result<QString> result = co_await std::move(pending);
    publishActionResult(result, successMessage, fallbackMessage);
    co_await runFullRefresh();
    setIsBusy(false);
}

void ConnectorMenuBarModel::publishActionResult(const Result<QString>& result, const QString& successMessage,
                                                const QString& fallbackMessage) {
    if (result.ok()) {
        const QString output = trimmed(result.value());
        if (output.isEmpty()) {
            setLatestActionOutput(fallbackMessage);
            setTransientMessage(fallbackMessage);
        } else {
            setLatestActionOutput(output);
            setTransientMessage(successMessage);
        }
    } else {
        setTransientMessage(result.failure().description());
        setLatestActionOutput(result.failure().description());
    }
}

QCoro::Task<> ConnectorMenuBarModel::startConnector(QString successMessage, QString fallbackMessage,
                                                    bool resetAutoRecoveryFlagOnFailure) {
    co_await runAction(std::move(successMessage), std::move(fallbackMessage), resetAutoRecoveryFlagOnFailure,
                       scriptOperation(RuntimeLayout::startScript));
}

QCoro::Task<> ConnectorMenuBarModel::startConnector() {
    co_await startConnector(
        ui(QStringLiteral("Desktop service started."), QStringLiteral("桌面服务已启动。")),
        ui(QStringLiteral("Desktop service start requested."), QStringLiteral("已请求启动桌面服务。")),
        false);
}

QCoro::Task<> ConnectorMenuBarModel::ensureDesktopService() {
    co_await startConnector(
        ui(QStringLiteral("Desktop service is online."), QStringLiteral("桌面服务已在线。")),
        ui(QStringLiteral("Desktop service keepalive requested."), QStringLiteral("已请求恢复桌面服务。")),
        false);
}

QCoro::Task<> ConnectorMenuBarModel::stopConnector() {
    co_await runAction(
        ui(QStringLiteral("Desktop service stopped."), QStringLiteral("桌面服务已停止。")),
        ui(QStringLiteral("Desktop service stop requested."), QStringLiteral("已请求停止桌面服务。")), false,
        scriptOperation(RuntimeLayout::stopScript));
}

} // namespace skerrin
