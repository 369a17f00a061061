// SPDX-License-Identifier: MIT
#pragma once

#include "model/KeepOnlineWatch.h"
#include "model/Published.h"

#include <QCoroTask>

#include <chrono>

namespace skerrin {

class ActionRunner;
struct ActionOutcome;
class LanguageChoice;
class RuntimeLocation;

// What the tray icon shows.
enum class StatusIcon { busy, running, stopped };
// The symbol names the command line prints.
QString statusIconName(StatusIcon icon);

// The desktop service: its status from the runtime's status script, and starting, stopping and
// keeping it online through the runtime's own scripts.
class DesktopService : public Published {
    Q_OBJECT

public:
    DesktopService(ActionRunner& actions, RuntimeLocation& location, const LanguageChoice& language,
                   std::chrono::milliseconds statusScriptLimit, QObject* parent = nullptr);

    const QString& statusSummary() const { return m_statusSummary; }
    const QString& statusDetail() const { return m_statusDetail; }
    const QString& statusDiagnostics() const { return m_statusDiagnostics; }
    bool isRunning() const { return m_isRunning; }
    bool hasAttemptedAutoRecovery() const { return m_hasAttemptedAutoRecovery; }
    StatusIcon statusIcon() const;

    QCoro::Task<> refreshStatus(bool allowAutoRecovery);
    // A look at the status that the user did not ask for (the tray's own, every 30 seconds and when
    // the panel opens): skipped while an action runs or another look is under way, and never shown
    // as busy. False when it was skipped.
    QCoro::Task<bool> refreshStatusQuietly();
    QCoro::Task<> startConnector();
    QCoro::Task<> stopConnector();
    QCoro::Task<> ensureDesktopService();

    // The one automatic recovery: the start action with the recovery texts, and a failure lets the
    // next recovery try again.
    QCoro::Task<ActionOutcome> recover();
    // What the user asked of the service, for whoever keeps it online; the controls say it
    // themselves, the primary button and the refresh control through this.
    void noteUserAction(UserAction action) { emit userActed(action); }

    // After an uninstall: nothing runs and nothing is configured.
    void showRuntimeRemoved();

signals:
    // A status refresh has ended, with the fields it stored.
    void statusRead();
    // Emitted before the action runs.
    void userActed(UserAction action);

private:
    friend class ModelSeed;

    // Runs the status script and stores what it says; one at a time.
    QCoro::Task<> readStatus(bool showBusy);

    QCoro::Task<ActionOutcome> startConnector(QString successMessage, QString fallbackMessage,
                                              bool resetAutoRecoveryFlagOnFailure);
    QCoro::Task<ActionOutcome> runServiceScript(QString script, QString successMessage,
                                                QString fallbackMessage);
    void setStatus(bool running, QString summary, QString detail);
    void setStatusDiagnostics(const QString& value);

    ActionRunner& m_actions;
    RuntimeLocation& m_location;
    const LanguageChoice& m_language;
    std::chrono::milliseconds m_statusScriptLimit;

    QString m_statusSummary = QStringLiteral("Not configured");
    QString m_statusDetail = QStringLiteral("Looking for a Brevant runtime...");
    QString m_statusDiagnostics;
    bool m_isRunning = false;
    bool m_hasAttemptedAutoRecovery = false;
    bool m_reading = false;
};

} // namespace skerrin
