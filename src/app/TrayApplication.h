// SPDX-License-Identifier: MIT
#pragma once

#include "panel/tray/TrayHosts.h"

#include <QObject>

#include <QCoroTask>

#include <memory>
#include <optional>

namespace skerrin {

class ConnectorMenuBarModel;
class PanelWindow;
class TrayIcon;

// The desktop application around the panel: the tray icon with the panel as its popup, or, where
// there is no tray (or with `windowed`), the panel as an ordinary window whose closing quits.
//
// Which tray exists is watched for the whole run (trays often start after the applications that
// autostart): a StatusNotifierItem host gets an item of our own over D-Bus, an XEmbed tray the
// toolkit's icon. Until one exists the panel is a window; when one appears the icon is shown and
// the window is left open as it is: it becomes the popup the next time it opens.
class TrayApplication : public QObject {
    Q_OBJECT

public:
    TrayApplication(ConnectorMenuBarModel& model, bool windowed, QObject* parent = nullptr);
    ~TrayApplication() override;

    // The panel, made on first use.
    PanelWindow& panel();
    bool hasPanel() const { return m_panel != nullptr; }
    bool hasTray() const { return m_tray != nullptr; }
    TrayIcon* trayIcon() const { return m_tray.get(); }

    // Beside the tray icon when there is one, else as the window; for a second launch too.
    void showPanel();
    void togglePanel();
    // Cancels a cancellable action, ends the refresh loop, then emits finished(). Once only; the
    // desktop service is left running.
    void quit();

signals:
    // The model has let go: the event loop may end.
    void finished();

private:
    void trayHostsChanged();
    void enterTrayMode();
    void windowClosed();
    void showPopup();
    QCoro::Task<> windDown();

    ConnectorMenuBarModel& m_model;
    std::unique_ptr<PanelWindow> m_panel;
    std::unique_ptr<tray::TrayHosts> m_hosts;
    std::unique_ptr<TrayIcon> m_tray;
    tray::TrayHosts::Kind m_trayKind = tray::TrayHosts::Kind::none;
    bool m_quitting = false;
};

// `skerrin` without a command, or with --windowed: the whole desktop application, from the
// QApplication to the end of its event loop, for the program at `launcher` (see PlatformServices).
// Returns the exit status.
int runTrayApplication(int& argc, char** argv, bool windowed, const QString& launcher);

} // namespace skerrin
