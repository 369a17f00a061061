// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <optional>

namespace skerrin {

class ConnectorMenuBarModel;
class ConnectorMenuBarView;

// The top-level window holding the panel: either a frameless popup beside the tray icon, which
// closes when the application loses focus or on Esc, or an ordinary titled window that stays until
// the user closes it.
class PanelWindow : public QWidget {
    Q_OBJECT

public:
    explicit PanelWindow(ConnectorMenuBarModel& model, QWidget* parent = nullptr);
    ~PanelWindow() override;

    ConnectorMenuBarView& view() const { return *m_view; }

    // `topLeft` absent leaves the place to the window system (Wayland places windows itself).
    void showAsPopup(std::optional<QPoint> topLeft);
    void showAsWindow();
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
    void paintEvent(QPaintEvent* event) override;

private:
    void setPopup(bool popup);
    // Hides the popup, unless one of the panel's dialogs is open.
    bool dismissPopup();

    ConnectorMenuBarView* m_view;
    bool m_popup = false;
    QElapsedTimer m_sinceFocusLoss;
};

} // namespace skerrin
