// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "pairing/PlatformStatusClient.h"
#include "runtime/EnvFile.h"

namespace skerrin {

QCoro::Task<> ConnectorMenuBarModel::refreshDesktopRuntimeStatus(bool force) {
    const std::optional<QString> valid = validRuntimeRoot(m_runtimeRoot);
    if (!valid && !force)
        co_return;
    const QString root = valid.value_or(standardRuntimeRoot());
    const QString base = platformBaseURL(root);
    std::optional<DesktopRuntimeStatusResponse> response;
    {
        // The token lives only for the request.
        const QString token = relayToken(root);
        if (!token.isEmpty() && !base.isEmpty()) {
            QCoro::Task<std::optional<DesktopRuntimeStatusResponse>> fetch =
                fetchDesktopRuntimeStatus(&m_network, base, token);
            response = co_await std::move(fetch);
        }
    }
    if (!response) {
        setCurrentPhoneSummary(QString());
        setCurrentPairingSummary(QString());
        co_return;
    }
    setCurrentPairingSummary(summarizePairing(response->desktopPairing, m_language));
    setCurrentPhoneSummary(summarizeAppSession(response->currentAppSession, m_language));
}

} // namespace skerrin
