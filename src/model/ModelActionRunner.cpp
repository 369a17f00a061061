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

} // namespace skerrin
