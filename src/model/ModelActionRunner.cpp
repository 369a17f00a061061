// SPDX-License-Identifier: MIT
#include "core/Text.h"
#include "model/ConnectorMenuBarModel.h"

namespace skerrin {
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
                                                    QString commandDescription, AgentOperation operation) {
    const QString root = effectiveRuntimeRoot();
    if (!validRuntimeRoot(root)) {
        setTransientMessage(QStringLiteral("Install the desktop runtime first."));
        co_return;
    }
    setIsBusy(true);
    setTransientMessage(commandDescription);
    setLatestActionOutput(commandDescription);
    const CancelHandle cancel = beginCancellable();
    // Started in a statement of its own: GCC 12 destroys by-value arguments made inside a
    // co_await expression twice.
    QCoro::Task<Result<QString>> pending = operation.body(root, cancel);
    const Result<QString> result = co_await std::move(pending);
    endCancellable(cancel);
    if (!result.ok() && cancel.isCancelled()) {
        setTransientMessage(cancelledText());
        setLatestActionOutput(cancelledText());
    } else {
        publishActionResult(result, successMessage, fallbackMessage);
    }
    co_await runFullRefresh();
    setIsBusy(false);
}

CancelHandle ConnectorMenuBarModel::beginCancellable() {
    CancelHandle handle;
    m_currentCancel = handle;
    setCanCancelCurrentAction(true);
    return handle;
}

void ConnectorMenuBarModel::endCancellable(const CancelHandle& handle) {
    if (m_currentCancel != handle)
        return;
    m_currentCancel.reset();
    setCanCancelCurrentAction(false);
}

void ConnectorMenuBarModel::cancelCurrentAction() {
    if (m_currentCancel)
        m_currentCancel->cancel();
}

QString ConnectorMenuBarModel::cancelledText() const {
    return ui(QStringLiteral("Action cancelled."), QStringLiteral("操作已取消。"));
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

} // namespace skerrin
