// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>
#include <QObject>

class QGroupBox;
class QLabel;
class QPushButton;
class QTextEdit;
class QToolButton;

namespace skerrin {
class ActionRunner;
class DesktopService;
class LanguageChoice;
class Maintenance;
} // namespace skerrin

namespace skerrin::panel {

class WrapText;

// The latest output on a rounded text background, 120 to 170 high, scrolling beyond that.
class OutputBox : public QFrame {
    Q_OBJECT

public:
    explicit OutputBox(QWidget* parent);
    void setContent(const QString& text);
    QTextEdit* text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();
    QTextEdit* m_text;
};

// The output of the last action behind a disclosure, copying it, the logs folder, and the
// status script's diagnostics in three lines at most.
class LogsGroup : public QObject {
    Q_OBJECT

public:
    LogsGroup(ActionRunner& actions, LanguageChoice& language, Maintenance& maintenance,
              DesktopService& service, QWidget* parent);
    void sync();
    QGroupBox* box() const { return m_box; }
    QToolButton* outputToggle() const { return m_toggle; }
    QPushButton* copyButton() const { return m_copy; }
    QPushButton* openLogsButton() const { return m_openLogs; }

private:
    ActionRunner& m_actions;
    LanguageChoice& m_language;
    Maintenance& m_maintenance;
    DesktopService& m_service;
    QGroupBox* m_box;
    QLabel* m_title;
    QToolButton* m_toggle;
    OutputBox* m_output;
    QPushButton* m_copy;
    QPushButton* m_openLogs;
    WrapText* m_diagnostics;
};

} // namespace skerrin::panel
