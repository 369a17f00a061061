// SPDX-License-Identifier: MIT
#include "panel/PairingGroup.h"

#include "model/ActionRunner.h"
#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "model/Pairing.h"
#include "panel/PanelPieces.h"
#include "platform/ComputerWords.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace skerrin::panel {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kExpiryTextPeriodMs = 15'000;

} // namespace

PairingGroup::PairingGroup(ActionRunner& actions, LanguageChoice& language, Maintenance& maintenance,
                           Pairing& pairing, PanelTasks& tasks, QWidget* parent)
    : QObject(parent), m_actions(actions), m_language(language), m_maintenance(maintenance),
      m_pairing(pairing) {
    const Group group = makeGroup("pairingGroup", 12, parent);
    m_box = group.box;
    m_title = group.title;
    const QColor secondary = secondaryColor(parent->palette());
    m_hint = styledLabel(TextRole::caption, secondary, m_box);
    m_qr = new QrImage(m_box);
    m_codeTitle = styledLabel(TextRole::captionBold, secondary, m_box);
    m_code = new WrapText(TextRole::setupCode, parent->palette().color(QPalette::WindowText),
                          WrapText::Interaction::selectable, m_box);
    m_expires = styledLabel(TextRole::caption2, secondary, m_box);
    m_finish = new QPushButton(m_box);
    m_openQr = new QPushButton(m_box);
    name(m_hint, "pairingHint");
    name(m_qr, "qrImage");
    name(m_codeTitle, "setupCodeTitle");
    name(m_code, "setupCode");
    name(m_expires, "pairingExpires");
    name(m_finish, "finishPairingButton");
    name(m_openQr, "openQrButton");

    auto* codeColumn = new QVBoxLayout;
    codeColumn->setSpacing(6);
    codeColumn->addWidget(m_codeTitle);
    codeColumn->addWidget(m_code);
    codeColumn->addWidget(m_expires);
    codeColumn->addStretch(1);
    auto* codeRow = new QHBoxLayout;
    codeRow->setSpacing(14);
    codeRow->addWidget(m_qr, 0, Qt::AlignTop);
    codeRow->addLayout(codeColumn, 1);
    group.content->addWidget(m_hint);
    group.content->addLayout(codeRow);
    group.content->addLayout(actionRow({m_finish, m_openQr}));

    connect(m_finish, &QPushButton::clicked, this, [this, owner = &tasks] {
        QCoro::Task<> wait = m_pairing.waitForPairingConfirmation();
        owner->start(std::move(wait));
    });
    connect(m_openQr, &QPushButton::clicked, this, [this] {
        if (const std::optional<PairingSessionState>& session = m_pairing.pairingSession())
            m_maintenance.openPath(session->qrPath);
    });
    m_expiryTimer.setSingleShot(true);
    connect(&m_expiryTimer, &QTimer::timeout, this, &PairingGroup::expiryTimerFired);
    m_box->installEventFilter(this);
}

void PairingGroup::sync(bool hasRuntimeRoot) {
    m_hasRuntimeRoot = hasRuntimeRoot;
    const std::optional<PairingSessionState>& session = m_pairing.pairingSession();
    m_box->setVisible(session.has_value());
    if (!session) {
        updateExpiryTimer();
        return;
    }
    const QString title = ComputerWords::pairThisComputer(m_language.language());
    setLabelText(m_title, title);
    setAccessibleText(m_box, title);
    setLabelText(m_hint, m_language.ui(u"Scan once in the iPhone app, then tap Finish Pairing."_s,
                                       u"在 iPhone App 里扫一次，然后点“完成配对”。"_s));
    m_qr->setVisible(m_qr->setImage(m_qrCache.image(session->qrPath)));
    setAccessibleText(m_qr, m_language.ui(u"QR code"_s, u"二维码"_s));
    setLabelText(m_codeTitle, m_language.ui(u"Setup Code"_s, u"配对码"_s));
    m_code->setContent(session->setupCode);
    setAccessibleText(m_code, m_codeTitle->text());
    setLabelText(m_expires, m_pairing.pairingExpiresText());
    setButtonText(m_finish, m_language.ui(u"Finish Pairing"_s, u"完成配对"_s));
    m_finish->setEnabled(!m_actions.isBusy() && hasRuntimeRoot);
    setButtonText(m_openQr, m_language.ui(u"Open QR"_s, u"打开二维码"_s));
    m_openQr->setEnabled(!m_actions.isBusy());
    updateExpiryTimer();
}

bool PairingGroup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_box && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        updateExpiryTimer();
    return QObject::eventFilter(watched, event);
}

void PairingGroup::updateExpiryTimer() {
    const std::optional<PairingSessionState>& session = m_pairing.pairingSession();
    // Nothing to count down while the group is off screen or its code never expires.
    if (!m_box->isVisible() || !session || !session->expiresAt) {
        m_expiryTimer.stop();
        return;
    }
    if (m_expiryTimer.isActive() && m_timedExpiry == *session->expiresAt)
        return;
    m_timedExpiry = *session->expiresAt;
    const qint64 untilExpiry = QDateTime::currentDateTimeUtc().msecsTo(m_timedExpiry);
    qint64 interval = kExpiryTextPeriodMs;
    if (untilExpiry >= 0)
        interval = std::min(untilExpiry + 50, interval); // just past it, so the reread finds it expired
    else if (m_refreshedExpiry != m_timedExpiry)
        interval = 0;
    m_expiryTimer.start(int(interval));
}

void PairingGroup::expiryTimerFired() {
    const std::optional<PairingSessionState>& session = m_pairing.pairingSession();
    if (session && session->expiresAt && *session->expiresAt <= QDateTime::currentDateTimeUtc() &&
        m_refreshedExpiry != *session->expiresAt) {
        m_refreshedExpiry = *session->expiresAt;
        m_pairing.refreshPairingSession();
    }
    sync(m_hasRuntimeRoot);
}

} // namespace skerrin::panel
