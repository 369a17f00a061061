// SPDX-License-Identifier: MIT
#pragma once

#include "model/Published.h"
#include "platform/PlatformServices.h"

#include <QCoroTask>

namespace skerrin {

class ActionRunner;
class DesktopService;
class Diagnostics;
class LanguageChoice;
class ModelSettings;
class Pairing;
class RuntimeLocation;
struct ReportEnvironment;

// Upkeep of an installed runtime: desktop setup, the doctor, the Codex login terminal, logs, the
// output's copy, launch at login, unpairing and uninstalling.
class Maintenance : public Published {
    Q_OBJECT

public:
    struct Parts {
        ActionRunner& actions;
        RuntimeLocation& location;
        DesktopService& service;
        Pairing& pairing;
        Diagnostics& diagnostics;
        const LanguageChoice& language;
        const ModelSettings& settings;
    };
    Maintenance(Parts parts, PlatformServices& services, QObject* parent = nullptr);

    bool launchAtLoginEnabled() const { return m_launchAtLoginEnabled; }
    QString appVersionText() const;
    bool isQuitScheduled() const { return m_quitScheduled; }

    QCoro::Task<> runDesktopSetup();
    QCoro::Task<> runDoctor();
    // Finds Codex and starts the terminal off the GUI thread; never waits for the terminal.
    QCoro::Task<> openCodexLoginInTerminal();
    void openLogsFolder();
    // A folder or file in the desktop's file browser or viewer; no message, the result ignored.
    void openPath(const QString& path);
    void copyLatestOutput();
    // The support report of everything the controllers hold now, secrets masked.
    QString supportReport(const ReportEnvironment& environment) const;
    // Copies it and says so.
    void copyReport(const ReportEnvironment& environment);
    void setLaunchAtLogin(bool enabled);
    QCoro::Task<> unpairCurrentInstallation();
    // On success asks, half a second later, for the application to end (quitRequested).
    QCoro::Task<> uninstallDesktopRuntime();

signals:
    void quitRequested();

private:
    friend class ModelSeed;

    QCoro::Task<Result<QString>> uninstall(QString root);

    Parts m_parts;
    PlatformServices& m_services;
    bool m_launchAtLoginEnabled = false;
    bool m_quitScheduled = false;
};

} // namespace skerrin
