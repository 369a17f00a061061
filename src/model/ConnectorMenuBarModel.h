// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"
#include "core/Result.h"
#include "diagnostics/SetupCheck.h"
#include "net/StreamingTransfer.h"
#include "pairing/PairingSession.h"
#include "platform/PlatformServices.h"
#include "process/Cancellation.h"

#include <QDateTime>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace skerrin {

class RefreshLoop;

struct ModelOptions {
    // Period of the background refresh loop.
    std::chrono::milliseconds refreshPeriod = std::chrono::seconds(30);
    // How long the status script may take before its process group is ended.
    std::chrono::milliseconds statusScriptLimit = std::chrono::seconds(60);
    // A download (manifest or archive) that receives nothing for this long fails.
    std::chrono::milliseconds transferIdleLimit = std::chrono::seconds(60);
};

// What an agent action runs: given the runtime root and the action's cancel handle, which it hands
// to the script it runs. An operation that takes only the root is accepted too, but cannot be
// stopped: to make it cancellable, take the handle and pass it on.
struct AgentOperation {
    using Body = std::function<QCoro::Task<Result<QString>>(QString runtimeRoot, CancelHandle cancel)>;

    template <typename F>
    requires std::is_invocable_v<F&, QString, CancelHandle> AgentOperation(F f) : body(std::move(f)) {}
    template <typename F>
    requires(!std::is_invocable_v<F&, QString, CancelHandle> && std::is_invocable_v<F&, QString>)
        AgentOperation(F f)
        : body([f = std::move(f)](QString root, CancelHandle) mutable { return f(root); }) {}

    Body body;
};

// The one observable model: every piece of state the panel shows and every operation it calls.
// Confined to the GUI thread; `willChange` is emitted before each published store. Published
// fields are written only by the model's own operations.
class ConnectorMenuBarModel : public QObject {
    Q_OBJECT

public:
    using Operation = std::function<QCoro::Task<Result<QString>>(QString runtimeRoot)>;

    // model/ConnectorMenuBarModel.cpp: start-up and language.
    explicit ConnectorMenuBarModel(PlatformServices services, ModelOptions options = {},
                                   QObject* parent = nullptr);
    ~ConnectorMenuBarModel() override;
    QString ui(const QString& english, const QString& chinese) const;
    void setLanguage(AppLanguage language);

    // Published fields.
    const QString& runtimeRoot() const { return m_runtimeRoot; }
    const QString& statusSummary() const { return m_statusSummary; }
    const QString& statusDetail() const { return m_statusDetail; }
    const QString& statusDiagnostics() const { return m_statusDiagnostics; }
    bool isRunning() const { return m_isRunning; }
    bool isBusy() const { return m_isBusy; }
    bool launchAtLoginEnabled() const { return m_launchAtLoginEnabled; }
    const std::optional<QString>& transientMessage() const { return m_transientMessage; }
    AppLanguage language() const { return m_language; }
    const QList<SetupCheck>& setupChecks() const { return m_setupChecks; }
    const QList<SetupCheck>& connectivityChecks() const { return m_connectivityChecks; }
    const QString& latestActionOutput() const { return m_latestActionOutput; }
    const std::optional<PairingSessionState>& pairingSession() const { return m_pairingSession; }
    const QString& currentPhoneSummary() const { return m_currentPhoneSummary; }
    const QString& currentPairingSummary() const { return m_currentPairingSummary; }
    bool hasLoadedDeepSetupChecks() const { return m_hasLoadedDeepSetupChecks; }
    // True while a pairing step, desktop setup, the doctor or the installer's transfers run.
    bool canCancelCurrentAction() const { return m_canCancelCurrentAction; }
    // While the runtime archive downloads; absent otherwise.
    const std::optional<TransferProgress>& downloadProgress() const { return m_downloadProgress; }

    // Plain fields.
    bool hasAttemptedAutoRecovery() const { return m_hasAttemptedAutoRecovery; }
    QDateTime lastSetupCheckAt() const { return m_lastSetupCheckAt; }
    QDateTime lastConnectivityCheckAt() const { return m_lastConnectivityCheckAt; }
    const std::optional<QString>& runtimeRootScopedAccessURL() const { return m_runtimeRootScopedAccessURL; }
    // Why the last settings write failed, if one did; and where the settings live.
    const std::optional<QString>& settingsSaveFailure() const { return m_settingsSaveFailure; }
    QString settingsLocation() const { return settings().location(); }

    // model/ModelDisplayTexts.cpp: texts derived from the fields.
    QString statusIcon() const;
    QString latestActionSummary() const;
    QString pairingExpiresText() const;
    QString appVersionText() const;
    QString runtimeInstallButtonTitle() const;
    QString primaryActionTitle() const;
    QString primaryActionSubtitle() const;

    // runtime/ModelRuntimeRoot.cpp: finding, validating and remembering the runtime root.
    static QString standardInstallRoot();
    static QString standardRuntimeRoot();
    std::optional<QString> validRuntimeRoot(const std::optional<QString>& candidate) const;
    QString effectiveRuntimeRoot() const;
    bool pathRequiresUserSelectedAccess(const QString& path) const;
    QString detectRuntimeRoot();
    void refreshRuntimeRootScopedAccess();
    void updateRuntimeRoot(const QString& path, const std::optional<QString>& bookmarkURL);
    // Returns the started refresh when a folder was chosen; the panel need not await it.
    std::optional<QCoro::Task<>> chooseRuntimeFolder();
    // What choosing `path` does, with the refresh it starts.
    QCoro::Task<> useRuntimeFolder(QString path);
    void clearRuntimeSelection();

    // runtime/ModelRuntimeInstall.cpp
    QCoro::Task<> installStandardRuntime();

    // pairing/ModelPairingFlow.cpp
    QCoro::Task<> startPairing();
    QCoro::Task<> waitForPairingConfirmation();

    // pairing/ModelPairingSession.cpp
    void refreshPairingSession();
    bool isPairingConfigured() const;

    // pairing/ModelPlatformStatus.cpp
    QCoro::Task<> refreshDesktopRuntimeStatus(bool force);

    // model/ModelStatusRefresh.cpp
    QCoro::Task<> refreshStatus(bool allowAutoRecovery);

    // model/ModelRefreshLoop.cpp: the background loop, started by the constructor.
    QCoro::Task<> runRefreshLoop();
    // Ends the refresh loop and waits for it; a loop that is asleep ends without another refresh.
    QCoro::Task<> cancelRefreshLoop();
    bool hasFinishedFirstRefreshPass() const { return m_firstPassDone; }

    // model/ModelActionRunner.cpp
    QCoro::Task<> runAction(QString successMessage, QString fallbackMessage,
                            bool resetAutoRecoveryFlagOnFailure, Operation operation);
    QCoro::Task<> runAgentAction(QString successMessage, QString fallbackMessage, QString commandDescription,
                                 AgentOperation operation);
    QCoro::Task<> runFullRefresh();
    // Stops the running cancellable action, if any: it ends with "Action cancelled.", then refreshes.
    void cancelCurrentAction();

    // model/ModelPrimaryAction.cpp: the panel's main button.
    QCoro::Task<> performPrimaryAction();

    // model/ModelServiceControl.cpp
    QCoro::Task<> startConnector();
    QCoro::Task<> stopConnector();
    QCoro::Task<> ensureDesktopService();

    // diagnostics/ModelDiagnostics.cpp
    QCoro::Task<> refreshSetupChecks(bool force);
    QCoro::Task<> refreshConnectivityChecks(bool force);
    QCoro::Task<> loadDeepSetupChecksIfNeeded();

    // diagnostics/ModelMaintenance.cpp: upkeep of an installed runtime.
    QCoro::Task<> runDesktopSetup();
    QCoro::Task<> runDoctor();
    // Finds Codex and starts the terminal off the GUI thread; never waits for the terminal.
    QCoro::Task<> openCodexLoginInTerminal();
    void openLogsFolder();
    // A folder or file in the desktop's file browser or viewer; no message, the result ignored.
    void openPath(const QString& path);
    void copyLatestOutput();
    void setLaunchAtLogin(bool enabled);

    // runtime/ModelUnpairUninstall.cpp
    QCoro::Task<> unpairCurrentInstallation();
    // On success the application quits half a second later (quitRequested, then the event loop ends).
    QCoro::Task<> uninstallDesktopRuntime();
    bool isQuitScheduled() const { return m_quitScheduled; }

signals:
    void willChange();
    void firstRefreshPassFinished();
    // Emitted just before the model ends the application's event loop.
    void quitRequested();

private:
    // Tests set up state through this type; shipping code never names it.
    friend class ModelSeed;

    template <typename T, typename V> void publish(T& field, V&& value) {
        emit willChange();
        field = std::forward<V>(value);
    }

    void setRuntimeRoot(QString value) { publish(m_runtimeRoot, std::move(value)); }
    void setStatusSummary(QString value) { publish(m_statusSummary, std::move(value)); }
    void setStatusDetail(QString value) { publish(m_statusDetail, std::move(value)); }
    void setStatusDiagnostics(QString value) { publish(m_statusDiagnostics, std::move(value)); }
    void setIsRunning(bool value) { publish(m_isRunning, value); }
    void setIsBusy(bool value) { publish(m_isBusy, value); }
    void setLaunchAtLoginEnabled(bool value) { publish(m_launchAtLoginEnabled, value); }
    void setTransientMessage(std::optional<QString> value) { publish(m_transientMessage, std::move(value)); }
    void setLanguageField(AppLanguage value) { publish(m_language, value); }
    void setSetupChecks(QList<SetupCheck> value) { publish(m_setupChecks, std::move(value)); }
    void setConnectivityChecks(QList<SetupCheck> value) { publish(m_connectivityChecks, std::move(value)); }
    void setLatestActionOutput(QString value) { publish(m_latestActionOutput, std::move(value)); }
    void setPairingSession(std::optional<PairingSessionState> value) {
        publish(m_pairingSession, std::move(value));
    }
    void setCurrentPhoneSummary(QString value) { publish(m_currentPhoneSummary, std::move(value)); }
    void setCurrentPairingSummary(QString value) { publish(m_currentPairingSummary, std::move(value)); }
    void setHasLoadedDeepSetupChecks(bool value) { publish(m_hasLoadedDeepSetupChecks, value); }
    void setCanCancelCurrentAction(bool value) { publish(m_canCancelCurrentAction, value); }
    void setDownloadProgress(std::optional<TransferProgress> value) {
        publish(m_downloadProgress, std::move(value));
    }

    const AppInfo& appInfo() const { return *m_services.appInfo; }
    const SettingsStore& settings() const { return *m_services.settings; }
    SettingsStore& settings() { return *m_services.settings; }
    const VolumeAccess& volumes() const { return *m_services.volumes; }
    VolumeAccess& volumes() { return *m_services.volumes; }

    // model/ConnectorMenuBarModel.cpp: reports a write that did not reach the disk.
    void reportSettingsWrite(std::optional<Error> failure);

    // runtime/ModelRuntimeRoot.cpp: the stored bookmark when it resolves to exactly `path`.
    std::optional<ResolvedBookmark> bookmarkFor(const QString& path, bool allowUserInterface) const;

    // model/ModelServiceControl.cpp
    QCoro::Task<> startConnector(QString successMessage, QString fallbackMessage,
                                 bool resetAutoRecoveryFlagOnFailure);
    // model/ModelRefreshLoop.cpp
    void markFirstPassDone();
    // model/ModelActionRunner.cpp
    void publishActionResult(const Result<QString>& result, const QString& successMessage,
                             const QString& fallbackMessage);
    // The handle of a cancellable action from its start to its end; ending another's is a no-op.
    CancelHandle beginCancellable();
    void endCancellable(const CancelHandle& handle);
    QString cancelledText() const;

    // runtime/ModelRuntimeInstall.cpp: the download and unpacking; the installed root or the failure.
    QCoro::Task<Result<QString>> downloadAndUnpackRuntime(CancelHandle cancel);
    QCoro::Task<Result<QString>> unpackRuntime(QString archive, CancelHandle cancel);

    PlatformServices m_services;
    ModelOptions m_options;
    QNetworkAccessManager m_network;

    QString m_runtimeRoot;
    QString m_statusSummary;
    QString m_statusDetail;
    QString m_statusDiagnostics;
    bool m_isRunning = false;
    bool m_isBusy = false;
    bool m_launchAtLoginEnabled = false;
    std::optional<QString> m_transientMessage;
    AppLanguage m_language = AppLanguage::english;
    QList<SetupCheck> m_setupChecks;
    QList<SetupCheck> m_connectivityChecks;
    QString m_latestActionOutput;
    std::optional<PairingSessionState> m_pairingSession;
    QString m_currentPhoneSummary;
    QString m_currentPairingSummary;
    bool m_hasLoadedDeepSetupChecks = false;
    bool m_canCancelCurrentAction = false;
    std::optional<TransferProgress> m_downloadProgress;

    std::optional<CancelHandle> m_currentCancel;
    bool m_hasAttemptedAutoRecovery = false;
    std::unique_ptr<RefreshLoop> m_refreshLoop;
    QDateTime m_lastSetupCheckAt;
    QDateTime m_lastConnectivityCheckAt;
    std::optional<QString> m_runtimeRootScopedAccessURL;
    std::optional<QString> m_settingsSaveFailure;

    bool m_firstPassDone = false;
    bool m_quitScheduled = false;
};

} // namespace skerrin
