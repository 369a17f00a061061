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
} // namespace skerrin

namespace skerrin::panel {

class PanelTasks;

// What the next step is, the primary button that takes it, and launching at sign-in.
class DesktopServiceGroup : public QObject {
    Q_OBJECT

public:
    DesktopServiceGroup(ActionRunner& actions, LanguageChoice& language, Maintenance& maintenance,
                        PrimaryAction& primary, PanelTasks& tasks, QWidget* parent);
    void sync();
    QGroupBox* box() const { return m_box; }
    QPushButton* primaryButton() const { return m_primary; }
    QCheckBox* launchToggle() const { return m_launch; }

private:
    ActionRunner& m_actions;
    LanguageChoice& m_language;
    Maintenance& m_maintenance;
    PrimaryAction& m_primaryAction;
    QGroupBox* m_box;
    QLabel* m_title;
    QLabel* m_subtitle;
    QPushButton* m_primary;
    QCheckBox* m_launch;
};

} // namespace skerrin::panel
