// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QPushButton;
class QScrollArea;

namespace skerrin {

class ConnectorMenuBarModel;

namespace panel {
class AdvancedSection;
class Confirmation;
class ContentHeight;
class DesktopServiceGroup;
class LanguageCard;
class PairingGroup;
class PanelTasks;
class StatusCard;
} // namespace panel

// The panel: every block of state and every action, drawn from one model. 430 wide and as tall as
// its content, up to the room it is given; taller content scrolls.
class ConnectorMenuBarView : public QWidget {
    Q_OBJECT

public:
    explicit ConnectorMenuBarView(ConnectorMenuBarModel& model, QWidget* parent = nullptr);
    ~ConnectorMenuBarView() override;

    // True while one of its confirmations or the folder chooser is open; the popup holding the
    // panel must not close then.
    bool isShowingDialog() const;
    // The most height the panel may take: the room on the screen it opens on.
    void setMaximumPanelHeight(int height);
    // How tall the panel's content is at its width, limit or not.
    int contentHeight() const;
    // Takes the content's height again, up to the limit: for a panel about to be shown, whose blocks
    // may have changed while it was hidden. While shown it follows by itself.
    void fitHeight();
    // Model operations the panel started that have not ended yet. They use the model: it must
    // outlive them.
    bool hasRunningTasks() const;

signals:
    // The Quit button; the application decides how to end.
    void quitRequested();
    // A confirmation or the folder chooser opened (true) or closed (false).
    void dialogShownChanged(bool shown);
    // Every task the panel started has ended.
    void tasksFinished();
    // The panel has drawn the model's state anew (at most once per turn of the event loop).
    void rendered();

protected:
    // Each time the panel is shown: forced platform status, then the pairing session.
    void showEvent(QShowEvent* event) override;
    // Notifications wait for the panel to be off screen: what the user sees needs no other word.
    void hideEvent(QHideEvent* event) override;

private:
    void sync();
    void chooseRuntimeFolder();
    void updateDialogShown();
    void setTabOrder();

    ConnectorMenuBarModel& m_model;
    panel::PanelTasks* m_tasks;
    QScrollArea* m_scroll;
    panel::ContentHeight* m_height = nullptr;
    panel::StatusCard* m_statusCard;
    panel::LanguageCard* m_languageCard;
    panel::DesktopServiceGroup* m_service;
    panel::PairingGroup* m_pairing;
    panel::AdvancedSection* m_advanced;
    QPushButton* m_quit;
    panel::Confirmation* m_unpairConfirm;
    panel::Confirmation* m_uninstallConfirm;
    bool m_choosingFolder = false;
    bool m_dialogShown = false;
};

} // namespace skerrin
