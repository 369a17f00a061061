// SPDX-License-Identifier: MIT
#include "panel/StatusCard.h"

#include "model/ActionRunner.h"
#include "model/DesktopService.h"
#include "model/Installer.h"
#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "model/Pairing.h"
#include "panel/PanelPieces.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLocale>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace skerrin::panel {

using namespace Qt::StringLiterals;

namespace {

// Progress in thousandths, since a byte count may not fit the bar's int range.
constexpr int kProgressSteps = 1000;

// "7.6 KB", "12.3 MB": a small archive must not read as 0.0 MB.
QString dataSize(qint64 bytes) {
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

StatusCard::StatusCard(ActionRunner& actions, Installer& installer, LanguageChoice& language,
                       Maintenance& maintenance, Pairing& pairing, DesktopService& service, QWidget* parent)
    : QWidget(parent), m_actions(actions), m_installer(installer), m_language(language),
      m_maintenance(maintenance), m_pairingState(pairing), m_service(service),
      m_title(styledLabel(TextRole::headline, palette().color(QPalette::WindowText), this)),
      m_summary(styledLabel(TextRole::subheadline, secondaryColor(palette()), this)),
      m_message(
          new WrapText(TextRole::caption, secondaryColor(palette()), WrapText::Interaction::none, this)),
      m_cancel(new QPushButton(this)), m_progressRow(new QWidget(this)), m_progress(new QProgressBar),
      m_progressText(styledLabel(TextRole::caption, secondaryColor(palette()), nullptr)),
      m_detail(new WrapText(TextRole::caption, secondaryColor(palette()), WrapText::Interaction::selectable,
                            this)),
      m_divider(new QFrame(this)), m_phone(new StatusLine("onlinePhone", this)),
      m_pairing(new StatusLine("pairedInstallation", this)), m_version(new StatusLine("version", this)) {
    name(this, "statusCard");
    name(m_title, "statusTitle");
    name(m_summary, "statusSummary");
    name(m_message, "transientMessage");
    name(m_cancel, "cancelActionButton");
    name(m_progress, "downloadProgress");
    name(m_detail, "statusDetail");
    name(m_divider, "phoneDivider");
    m_divider->setFrameShape(QFrame::HLine);
    m_divider->setFrameShadow(QFrame::Plain);
    QPalette dividerPalette = m_divider->palette();
    dividerPalette.setColor(QPalette::WindowText, withOpacity(secondaryColor(palette()), 0.35));
    m_divider->setPalette(dividerPalette);
    name(m_progressText, "downloadSize");
    // The size beside the bar, not on it: over the bar's fill the style's text loses its contrast.
    m_progress->setTextVisible(false);
    auto* progressLayout = new QHBoxLayout(m_progressRow);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    progressLayout->setSpacing(8);
    progressLayout->addWidget(m_progress, 1);
    progressLayout->addWidget(m_progressText);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(6);
    column->addWidget(m_title);
    column->addWidget(m_summary);
    auto* messageRow = new QHBoxLayout;
    messageRow->setSpacing(8);
    messageRow->addWidget(m_message, 1, Qt::AlignVCenter);
    messageRow->addWidget(m_cancel, 0, Qt::AlignVCenter);
    column->addLayout(messageRow);
    column->addWidget(m_progressRow);
    column->addWidget(m_detail);
    column->addWidget(m_divider);
    column->addWidget(m_phone);
    column->addWidget(m_pairing);
    column->addWidget(m_version);

    connect(m_cancel, &QPushButton::clicked, this, [this] { m_actions.cancelCurrentAction(); });
}

void StatusCard::sync() {
    setLabelText(m_title, u"Skerrin"_s);
    setLabelText(m_summary, m_service.statusSummary());
    setTextColor(m_summary, m_service.isRunning() ? runningColor(palette()) : secondaryColor(palette()));

    const QString message = m_actions.transientMessage().value_or(QString());
    m_message->setContent(message);
    m_message->setVisible(!message.isEmpty());
    setButtonText(m_cancel, m_language.ui(u"Cancel"_s, u"取消"_s));
    m_cancel->setVisible(m_actions.canCancelCurrentAction());

    if (const std::optional<TransferProgress>& progress = m_installer.downloadProgress()) {
        if (progress->total && *progress->total > 0) {
            m_progress->setRange(0, kProgressSteps);
            m_progress->setValue(int(std::min<qint64>(progress->received, *progress->total) * kProgressSteps /
                                     *progress->total));
            setLabelText(m_progressText,
                         dataSize(progress->received) + u" / "_s + dataSize(*progress->total));
        } else {
            m_progress->setRange(0, 0); // the size is not known: a busy bar
            setLabelText(m_progressText, dataSize(progress->received));
        }
        setAccessibleText(m_progress, m_language.ui(u"Download"_s, u"下载"_s));
        m_progressRow->setVisible(true);
    } else {
        m_progressRow->setVisible(false);
    }

    m_detail->setContent(m_service.statusDetail());
    setAccessibleText(m_detail, m_language.ui(u"Status detail"_s, u"状态详情"_s));
    const bool phone = !m_pairingState.currentPhoneSummary().isEmpty();
    m_divider->setVisible(phone);
    m_phone->setVisible(phone);
    if (phone)
        m_phone->sync(m_language.ui(u"Online Phone"_s, u"在线手机"_s), m_pairingState.currentPhoneSummary());
    const bool pairing = !m_pairingState.currentPairingSummary().isEmpty();
    m_pairing->setVisible(pairing);
    if (pairing)
        m_pairing->sync(m_language.ui(u"Paired Installation"_s, u"当前配对安装实例"_s),
                        m_pairingState.currentPairingSummary());
    m_version->sync(m_language.ui(u"Version"_s, u"版本"_s), m_maintenance.appVersionText());
}

void StatusCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(withOpacity(secondaryColor(palette()), 0.12), 1));
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRoundedRect(card, 12, 12);
}

} // namespace skerrin::panel
