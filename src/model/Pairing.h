// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"
#include "model/Published.h"
#include "pairing/PairingSession.h"

#include <QCoroTask>

#include <optional>

namespace skerrin {

class ActionRunner;
struct ActionOutcome;
class LanguageChoice;
class RuntimeLocation;

// Pairing with the phone: the pending setup code and its QR image, the two pairing steps, and what
// the platform says is paired and online.
class Pairing : public Published {
    Q_OBJECT

public:
    Pairing(ActionRunner& actions, RuntimeLocation& location, const LanguageChoice& language,
            HttpClient& network, QObject* parent = nullptr);

    const std::optional<PairingSessionState>& pairingSession() const { return m_pairingSession; }
    const QString& currentPhoneSummary() const { return m_currentPhoneSummary; }
    const QString& currentPairingSummary() const { return m_currentPairingSummary; }
    QString pairingExpiresText() const;

    QCoro::Task<> startPairing();
    QCoro::Task<> waitForPairingConfirmation();
    void refreshPairingSession();
    QCoro::Task<> refreshDesktopRuntimeStatus(bool force);

    // After an uninstall: no session, no summaries.
    void forget();

signals:
    // The phone confirmed the pairing.
    void confirmed();

private:
    friend class ModelSeed;

    QCoro::Task<ActionOutcome> runPairingStep(bool start);
    void setSummaries(QString phone, QString pairing);

    ActionRunner& m_actions;
    RuntimeLocation& m_location;
    const LanguageChoice& m_language;
    HttpClient& m_network;
    std::optional<PairingSessionState> m_pairingSession;
    QString m_currentPhoneSummary;
    QString m_currentPairingSummary;
};

} // namespace skerrin
