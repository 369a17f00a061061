// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <optional>

namespace skerrin {

class ConnectorMenuBarModel;
class ConnectorMenuBarView;

// The top-level window holding the panel: either a frameless popup beside the tray icon, which
// closes when the application loses focus or on Esc and stays out of the taskbar and pager, or an
// ordinary titled window that stays until the user closes it. Either is at most as tall as the
// room it has on its screen.
class PanelWindow : public QWidget {
    Q_OBJECT

public:
    explicit PanelWindow(ConnectorMenuBarModel& model, QWidget* parent = nullptr);
    ~PanelWindow() override;

    ConnectorMenuBarView& view() const { return *m_view; }

    // `topLeft` absent leaves the place to the window system (Wayland places windows itself).
    void showAsPopup(std::optional<QPoint> topLeft);
    void showAsWindow();
    // The room the popup has beside the icon: its height caps the panel's, and a popup that grows
    // while shown stays inside it. Set before showAsPopup.
    void setPopupArea(const QRect& area);
    bool isPopup() const { return m_popup; }
    // The size the popup will have, for placing it before it is shown.
    QSize popupSize() const;
    // Whether the popup closed on focus loss a moment ago: a click on the tray icon takes the focus
    // before it reports the click, which then must not open the panel again.
    bool closedOnFocusLossJustNow() const;

signals:
    // The user closed the ordinary window.
    void windowClosed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setPopup(bool popup);
    // Hides the popup, unless one of the panel's dialogs is open.
    bool dismissPopup();
    void fitWindowToScreen();

    ConnectorMenuBarView* m_view;
    bool m_popup = false;
    QRect m_popupArea;
    // Placed against the bottom of its room (a bottom bar, the pointer low on the screen): it keeps
    // that edge when its content grows or shrinks.
    bool m_holdsBottom = false;
    // Placed by the application (beside the icon on X11), not by the window system.
    bool m_placed = false;
    bool m_iconRequested = false;
    QElapsedTimer m_sinceFocusLoss;
};

} // namespace skerrin
