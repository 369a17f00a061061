// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <QCoroTask>

#include <memory>
#include <optional>

namespace skerrin {

class ConnectorMenuBarModel;
class PanelWindow;
class StatusTrayIcon;

// The desktop application around the panel: the tray icon with the panel as its popup, or, where
// there is no tray (or with `windowed`), the panel as an ordinary window whose closing quits.
//
// A tray that turns up late (trays often start after the applications that autostart) is looked
// for during the first 30 seconds; meanwhile the panel is a window. When the tray appears the icon
// is shown and the window is left open as it is: it becomes the popup the next time it opens.
class TrayApplication : public QObject {
    Q_OBJECT

public:
    TrayApplication(ConnectorMenuBarModel& model, bool windowed, QObject* parent = nullptr);
    ~TrayApplication() override;

    PanelWindow& panel() const { return *m_panel; }
    bool hasTray() const { return m_tray != nullptr; }

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
    void lookForTray();
    void enterTrayMode();
    void windowClosed();
    std::optional<QPoint> popupPosition() const;
    QCoro::Task<> windDown();

    ConnectorMenuBarModel& m_model;
    std::unique_ptr<PanelWindow> m_panel;
    std::unique_ptr<StatusTrayIcon> m_tray;
    QTimer m_trayRetry;
    QElapsedTimer m_lookingSince;
    bool m_quitting = false;
};

// `skerrin` without a command, or with --windowed: the whole desktop application, from the
// QApplication to the end of its event loop. Returns the exit status.
int runTrayApplication(int& argc, char** argv, bool windowed);

} // namespace skerrin
