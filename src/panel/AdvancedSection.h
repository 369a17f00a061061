// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>

class QAbstractButton;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

namespace skerrin {
class ConnectorMenuBarModel;
}

namespace skerrin::panel {

class CheckList;
class LogsGroup;
class PanelTasks;

// Behind a disclosure: every maintenance button, the setup and connectivity checks, and the logs,
// made when it is first opened. Opening it (not closing it) loads the deep setup checks once and
// probes connectivity again.
class AdvancedSection : public QObject {
    Q_OBJECT

public:
    AdvancedSection(ConnectorMenuBarModel& model, PanelTasks& tasks, QWidget* parent);
    void sync(bool hasRuntimeRoot);
    QToolButton* toggle() const { return m_toggle; }
    QWidget* content() const { return m_content; }
    // The controls in the order a user tabs through them; only the toggle until first opened.
    QList<QWidget*> tabOrder() const;

signals:
    // The content was made: the tab order has more stops.
    void built();
    void chooseFolderRequested();
    void removePairingRequested();
    void uninstallRequested();

private:
    void build();

    ConnectorMenuBarModel& m_model;
    PanelTasks& m_tasks;
    QToolButton* m_toggle;
    QWidget* m_content;
    QGroupBox* m_actionsBox = nullptr;
    QLabel* m_actionsTitle = nullptr;
    QPushButton* m_install = nullptr;
    QPushButton* m_runSetup = nullptr;
    QPushButton* m_doctor = nullptr;
    QPushButton* m_codexLogin = nullptr;
    QPushButton* m_rerunPairing = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_chooseFolder = nullptr;
    QPushButton* m_openRuntime = nullptr;
    QPushButton* m_openLogs = nullptr;
    QPushButton* m_startService = nullptr;
    QPushButton* m_stopService = nullptr;
    QPushButton* m_removePairing = nullptr;
    QPushButton* m_uninstall = nullptr;
    QPushButton* m_copyReport = nullptr;
    QGroupBox* m_setupBox = nullptr;
    QLabel* m_setupTitle = nullptr;
    CheckList* m_setupChecks = nullptr;
    QGroupBox* m_connectivityBox = nullptr;
    QLabel* m_connectivityTitle = nullptr;
    CheckList* m_connectivityChecks = nullptr;
    LogsGroup* m_logs = nullptr;
};

} // namespace skerrin::panel
