// SPDX-License-Identifier: MIT
#include "model/Diagnostics.h"

#include "core/Endpoints.h"
#include "diagnostics/ConnectivityChecks.h"
#include "diagnostics/SetupChecks.h"
#include "model/ModelSettings.h"
#include "model/RuntimeLocation.h"
#include "model/SettingsKeys.h"
#include "process/BackgroundWork.h"
#include "process/ProcessRunner.h"
#include "runtime/EnvFile.h"

namespace skerrin {
namespace {

QList<SetupCheck> masked(QList<SetupCheck> checks, const SecretMask& mask) {
    for (SetupCheck& check : checks)
        check.detail = mask.apply(check.detail);
    return checks;
}

constexpr qint64 kThrottleSeconds = 30;

// Earlier than any clock reading, so the 30-second throttles always see it as stale.
QDateTime distantPast() {
    return QDateTime::fromMSecsSinceEpoch(0, Qt::UTC).addYears(-1969);
}

bool isFresh(const QDateTime& lastRun) {
    return lastRun.secsTo(QDateTime::currentDateTimeUtc()) <= kThrottleSeconds;
}

} // namespace

Diagnostics::Diagnostics(RuntimeLocation& location, const ModelSettings& settings, HttpClient& network,
                         QObject* parent)
    : Published(parent), m_location(location), m_settings(settings), m_network(network),
      m_lastSetupCheckAt(distantPast()), m_lastConnectivityCheckAt(distantPast()) {}

QCoro::Task<> Diagnostics::loadDeepSetupChecksIfNeeded() {
    if (m_hasLoadedDeepSetupChecks)
        co_return;
    // Set before awaiting, so a second call while the first runs does nothing.
    publish(m_hasLoadedDeepSetupChecks, true);
    co_await refreshSetupChecks(true);
}

QCoro::Task<> Diagnostics::refreshSetupChecks(bool force) {
    if (!force && isFresh(m_lastSetupCheckAt))
        co_return;
    const SetupCheckInputs inputs{m_location.effectiveRoot(), m_location.isEffectiveRootValid(),
                                  m_settings.string(SettingsKey::codexBin),
                                  m_settings.string(SettingsKey::codexHome)};
    const bool interactive = m_hasLoadedDeepSetupChecks;
    // The Codex login probe can take seconds: build the rows off the GUI thread.
    QFuture<QList<SetupCheck>> building = runOffGuiThread(
        [inputs, interactive] { return buildSetupChecks(inputs, interactive, &resolveExecutable); });
    co_await building;
    publish(m_setupChecks, masked(building.result(), m_location.secretMask()));
    m_lastSetupCheckAt = QDateTime::currentDateTimeUtc();
}

QCoro::Task<> Diagnostics::refreshConnectivityChecks(bool force) {
    if (!force && isFresh(m_lastConnectivityCheckAt))
        co_return;
    // Each probe starts in a statement of its own: GCC 12 mishandles temporaries and by-value
    // arguments made inside a co_await expression. The second starts only after the first.
    QList<SetupCheck> checks;
    QCoro::Task<SetupCheck> chat =
        probeConnectivity(&m_network, QStringLiteral("ChatGPT"), endpointUrl(Endpoint::chatGpt));
    checks.append(co_await std::move(chat));
    const QString relayBase = envValue(m_location.effectiveRoot(), QStringLiteral("RELAY_BASE_URL"));
    if (!relayBase.isEmpty()) {
        QCoro::Task<SetupCheck> relay =
            probeConnectivity(&m_network, QStringLiteral("Relay"), relayHealthUrl(relayBase));
        checks.append(co_await std::move(relay));
    }
    publish(m_connectivityChecks, masked(std::move(checks), m_location.secretMask()));
    m_lastConnectivityCheckAt = QDateTime::currentDateTimeUtc();
}

void Diagnostics::forget() {
    publish(m_setupChecks, QList<SetupCheck>{});
    publish(m_connectivityChecks, QList<SetupCheck>{});
}

} // namespace skerrin
