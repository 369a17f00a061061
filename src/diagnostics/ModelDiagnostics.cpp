// SPDX-License-Identifier: MIT
#include "core/Endpoints.h"
#include "diagnostics/ConnectivityChecks.h"
#include "diagnostics/SetupChecks.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/SettingsKeys.h"
#include "process/BackgroundWork.h"
#include "process/ProcessRunner.h"
#include "runtime/EnvFile.h"

namespace skerrin {
namespace {

constexpr qint64 kThrottleSeconds = 30;

bool isFresh(const QDateTime& lastRun) {
    return lastRun.secsTo(QDateTime::currentDateTimeUtc()) <= kThrottleSeconds;
}

} // namespace

QCoro::Task<> ConnectorMenuBarModel::loadDeepSetupChecksIfNeeded() {
    if (m_hasLoadedDeepSetupChecks)
        co_return;
    // Set before awaiting, so a second call while the first runs does nothing.
    setHasLoadedDeepSetupChecks(true);
    co_await refreshSetupChecks(true);
}

QCoro::Task<> ConnectorMenuBarModel::refreshSetupChecks(bool force) {
    if (!force && isFresh(m_lastSetupCheckAt))
        co_return;
    const QString root = effectiveRuntimeRoot();
    const SetupCheckInputs inputs{root, validRuntimeRoot(root).has_value(),
                                  settings().string(SettingsKey::codexBin),
                                  settings().string(SettingsKey::codexHome)};
    const bool interactive = m_hasLoadedDeepSetupChecks;
    // `which` and the Codex login probe can take seconds: build the rows off the GUI thread.
    QFuture<QList<SetupCheck>> building = runOffGuiThread(
        [inputs, interactive] { return buildSetupChecks(inputs, interactive, &resolveExecutable); });
    co_await building;
    setSetupChecks(building.result());
    m_lastSetupCheckAt = QDateTime::currentDateTimeUtc();
}

QCoro::Task<> ConnectorMenuBarModel::refreshConnectivityChecks(bool force) {
    if (!force && isFresh(m_lastConnectivityCheckAt))
        co_return;
    // Each probe starts in a statement of its own: GCC 12 mishandles temporaries and by-value
    // arguments made inside a co_await expression. The second starts only after the first.
    QList<SetupCheck> checks;
    QCoro::Task<SetupCheck> chat =
        probeConnectivity(&m_network, QStringLiteral("ChatGPT"), endpointUrl(Endpoint::chatGpt));
    checks.append(co_await std::move(chat));
    const QString relayBase = envValue(effectiveRuntimeRoot(), QStringLiteral("RELAY_BASE_URL"));
    if (!relayBase.isEmpty()) {
        QCoro::Task<SetupCheck> relay =
            probeConnectivity(&m_network, QStringLiteral("Relay"), relayHealthUrl(relayBase));
        checks.append(co_await std::move(relay));
    }
    setConnectivityChecks(std::move(checks));
    m_lastConnectivityCheckAt = QDateTime::currentDateTimeUtc();
}

} // namespace skerrin
