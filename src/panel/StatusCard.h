// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace skerrin {
class ActionRunner;
class DesktopService;
class Installer;
class LanguageChoice;
class Maintenance;
class Pairing;
} // namespace skerrin

namespace skerrin::panel {

class StatusLine;
class WrapText;

// The card on top: title, service status, what the running action is doing (with its Cancel
// button and download progress), the status detail, the platform's phone and pairing, the version.
class StatusCard : public QWidget {
    Q_OBJECT

public:
    StatusCard(ActionRunner& actions, Installer& installer, LanguageChoice& language,
               Maintenance& maintenance, Pairing& pairing, DesktopService& service, QWidget* parent);
    void sync();
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ActionRunner& m_actions;
    Installer& m_installer;
    LanguageChoice& m_language;
    Maintenance& m_maintenance;
    Pairing& m_pairingState;
    DesktopService& m_service;
    QLabel* m_title;
    QLabel* m_summary;
    WrapText* m_message;
    QPushButton* m_cancel;
    QWidget* m_progressRow;
    QProgressBar* m_progress;
    QLabel* m_progressText;
    WrapText* m_detail;
    QFrame* m_divider;
    StatusLine* m_phone;
    StatusLine* m_pairing;
    StatusLine* m_version;
};

} // namespace skerrin::panel
