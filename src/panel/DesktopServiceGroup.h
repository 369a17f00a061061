// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace skerrin {
class ActionRunner;
class LanguageChoice;
class Maintenance;
class PrimaryAction;
class ServiceWatcher;
} // namespace skerrin

namespace skerrin::panel {

class PanelTasks;

// What the next step is, the primary button that takes it, launching at sign-in and keeping the
// service online.
class DesktopServiceGroup : public QObject {
    Q_OBJECT

public:
    DesktopServiceGroup(ActionRunner& actions, LanguageChoice& language, Maintenance& maintenance,
                        PrimaryAction& primary, ServiceWatcher& watcher, PanelTasks& tasks, QWidget* parent);
    void sync();
    QGroupBox* box() const { return m_box; }
    QPushButton* primaryButton() const { return m_primary; }
    QCheckBox* launchToggle() const { return m_launch; }
    QCheckBox* keepOnlineToggle() const { return m_keepOnline; }

private:
    ActionRunner& m_actions;
    LanguageChoice& m_language;
    Maintenance& m_maintenance;
    PrimaryAction& m_primaryAction;
    ServiceWatcher& m_watcher;
    QGroupBox* m_box;
    QLabel* m_title;
    QLabel* m_subtitle;
    QPushButton* m_primary;
    QCheckBox* m_launch;
    QCheckBox* m_keepOnline;
    QLabel* m_keepOnlineNote;
};

} // namespace skerrin::panel
