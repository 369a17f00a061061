// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>

class QMessageBox;
class QPushButton;
class QWidget;

namespace skerrin {
class LanguageChoice;
class Maintenance;
} // namespace skerrin

namespace skerrin::panel {

class PanelTasks;

// A question attached to the panel before a destructive action: Cancel closes it and does nothing
// else; the confirm button starts the action. Opened without blocking, so the event loop (and
// the model's running work) goes on meanwhile.
class Confirmation : public QObject {
    Q_OBJECT

public:
    enum class Kind { removePairing, uninstall };
    Confirmation(Kind kind, LanguageChoice& language, Maintenance& maintenance, PanelTasks& tasks,
                 QWidget* panel);
    void open();
    bool isOpen() const { return !m_box.isNull(); }
    // The open question follows a language switch.
    void sync();

signals:
    void shownChanged(bool shown);

private:
    void confirmed();

    Kind m_kind;
    LanguageChoice& m_language;
    Maintenance& m_maintenance;
    PanelTasks& m_tasks;
    QWidget* m_panel;
    QPointer<QMessageBox> m_box;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_confirm = nullptr;
};

} // namespace skerrin::panel
