// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"
#include "diagnostics/SetupCheck.h"
#include "model/Published.h"

#include <QDateTime>
#include <QList>

#include <QCoroTask>

namespace skerrin {

class ModelSettings;
class RuntimeLocation;

// The setup checks of the runtime, Node.js, npm and Codex, and the connectivity probes.
class Diagnostics : public Published {
    Q_OBJECT

public:
    Diagnostics(RuntimeLocation& location, const ModelSettings& settings, HttpClient& network,
                QObject* parent = nullptr);

    const QList<SetupCheck>& setupChecks() const { return m_setupChecks; }
    const QList<SetupCheck>& connectivityChecks() const { return m_connectivityChecks; }
    bool hasLoadedDeepSetupChecks() const { return m_hasLoadedDeepSetupChecks; }
    QDateTime lastSetupCheckAt() const { return m_lastSetupCheckAt; }
    QDateTime lastConnectivityCheckAt() const { return m_lastConnectivityCheckAt; }

    QCoro::Task<> refreshSetupChecks(bool force);
    QCoro::Task<> refreshConnectivityChecks(bool force);
    QCoro::Task<> loadDeepSetupChecksIfNeeded();

    // After an uninstall: no rows.
    void forget();

private:
    friend class ModelSeed;

    RuntimeLocation& m_location;
    const ModelSettings& m_settings;
    HttpClient& m_network;
    QList<SetupCheck> m_setupChecks;
    QList<SetupCheck> m_connectivityChecks;
    bool m_hasLoadedDeepSetupChecks = false;
    QDateTime m_lastSetupCheckAt;
    QDateTime m_lastConnectivityCheckAt;
};

} // namespace skerrin
