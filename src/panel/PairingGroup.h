// SPDX-License-Identifier: MIT
#pragma once

#include "panel/QrImage.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

class QGroupBox;
class QLabel;
class QPushButton;

namespace skerrin {
class ActionRunner;
class LanguageChoice;
class Maintenance;
class Pairing;
} // namespace skerrin

namespace skerrin::panel {

class PanelTasks;
class WrapText;

// A pending pairing: the QR code and setup code to scan, when they expire, and the two buttons.
// While it is on screen the expiry text is read again every 15 seconds, and once the expiry passes
// the session is read from disk again, so an expired code goes away by itself.
class PairingGroup : public QObject {
    Q_OBJECT

public:
    PairingGroup(ActionRunner& actions, LanguageChoice& language, Maintenance& maintenance, Pairing& pairing,
                 PanelTasks& tasks, QWidget* parent);
    void sync(bool hasRuntimeRoot);
    QGroupBox* box() const { return m_box; }
    QPushButton* finishButton() const { return m_finish; }
    QPushButton* openQrButton() const { return m_openQr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateExpiryTimer();
    void expiryTimerFired();

    ActionRunner& m_actions;
    LanguageChoice& m_language;
    Maintenance& m_maintenance;
    Pairing& m_pairing;
    QGroupBox* m_box;
    QLabel* m_title;
    QLabel* m_hint;
    QrImage* m_qr;
    QLabel* m_codeTitle;
    WrapText* m_code;
    QLabel* m_expires;
    QPushButton* m_finish;
    QPushButton* m_openQr;
    QrImageCache m_qrCache;
    QTimer m_expiryTimer;
    QDateTime m_timedExpiry;     // the expiry the timer runs for
    QDateTime m_refreshedExpiry; // the expiry whose passing already made the session be read again
    bool m_hasRuntimeRoot = false;
};

} // namespace skerrin::panel
