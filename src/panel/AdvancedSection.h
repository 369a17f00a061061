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

// Behind a disclosure: every maintenance button, the setup and connectivity checks, and the logs.
// Opening it (not closing it) loads the deep setup checks once and probes connectivity again.
class AdvancedSection : public QObject {
    Q_OBJECT

public:
    AdvancedSection(ConnectorMenuBarModel& model, PanelTasks& tasks, QWidget* parent);
    void sync(bool hasRuntimeRoot);
    QToolButton* toggle() const { return m_toggle; }
    QWidget* content() const { return m_content; }
    // The controls in the order a user tabs through them.
    QList<QWidget*> tabOrder() const;

signals:
    void chooseFolderRequested();
    void removePairingRequested();
    void uninstallRequested();

private:
    ConnectorMenuBarModel& m_model;
    QToolButton* m_toggle;
    QWidget* m_content;
    QGroupBox* m_actionsBox;
    QLabel* m_actionsTitle;
    QPushButton* m_install;
    QPushButton* m_runSetup;
    QPushButton* m_doctor;
    QPushButton* m_codexLogin;
    QPushButton* m_rerunPairing;
    QPushButton* m_refresh;
    QPushButton* m_chooseFolder;
    QPushButton* m_openRuntime;
    QPushButton* m_openLogs;
    QPushButton* m_startService;
    QPushButton* m_stopService;
    QPushButton* m_removePairing;
    QPushButton* m_uninstall;
    QPushButton* m_copyReport;
    QGroupBox* m_setupBox;
    QLabel* m_setupTitle;
    CheckList* m_setupChecks;
    QGroupBox* m_connectivityBox;
    QLabel* m_connectivityTitle;
    CheckList* m_connectivityChecks;
    LogsGroup* m_logs;
};

} // namespace skerrin::panel
