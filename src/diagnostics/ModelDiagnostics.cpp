// SPDX-License-Identifier: MIT
#include "diagnostics/ConnectivityChecks.h"
#include "diagnostics/EnvFile.h"
#include "diagnostics/SetupChecks.h"
#include "model/ConnectorMenuBarModel.h"
#include "pairing/PlatformStatusClient.h"
#include "process/BackgroundWork.h"
#include "process/ProcessRunner.h"

namespace skerrin {
namespace {

constexpr qint64 kThrottleSeconds = 30;

bool isFresh(const QDateTime& lastRun) {
    return lastRun.secsTo(QDateTime::currentDateTimeUtc()) <= kThrottleSeconds;
}

} // namespace

QCoro::Task<> ConnectorMenuBarModel::refreshSetupChecks(bool force) {
    if (!force && isFresh(m_lastSetupCheckAt))
        co_return;
    const QString root = effectiveRuntimeRoot();
    const SetupCheckInputs inputs{root, validRuntimeRoot(root).has_value(),
                                  settings().string(SettingsKey::codexBin),
                                  settings().string(SettingsKey::codexHome)};
    const bool interactive = m_hasLoadedDeepSetupChecks;
    // `which` and the Codex login probe can take seconds: build the rows off the GUI thread.
    QList<SetupCheck> checks = co_await runOffGuiThread(
        [inputs, interactive] { return buildSetupChecks(inputs, interactive, &resolveExecutable); });
    setSetupChecks(std::move(checks));
    m_lastSetupCheckAt = QDateTime::currentDateTimeUtc();
}

QCoro::Task<> ConnectorMenuBarModel::refreshConnectivityChecks(bool force) {
    if (!force && isFresh(m_lastConnectivityCheckAt))
        co_return;
    // Titles as locals: GCC 12 cannot keep a QStringLiteral temporary alive across co_await.
    const QString chatTitle = QStringLiteral("ChatGPT");
    const QString relayTitle = QStringLiteral("Relay");
    QList<SetupCheck> checks;
    checks.append(co_await probeConnectivity(&m_network, chatTitle, chatGptEndpoint()));
    const QString relayBase = envValue(effectiveRuntimeRoot(), QStringLiteral("RELAY_BASE_URL"));
    if (!relayBase.isEmpty())
        checks.append(co_await probeConnectivity(&m_network, relayTitle, relayHealthUrl(relayBase)));
    setConnectivityChecks(std::move(checks));
    m_lastConnectivityCheckAt = QDateTime::currentDateTimeUtc();
}

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
        if (!token.isEmpty() && !base.isEmpty())
            response = co_await fetchDesktopRuntimeStatus(&m_network, base, token);
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
