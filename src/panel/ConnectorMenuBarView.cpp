// SPDX-License-Identifier: MIT
#include "panel/ConnectorMenuBarView.h"

#include "model/ActionRunner.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/DesktopService.h"
#include "model/LanguageChoice.h"
#include "model/Pairing.h"
#include "model/Refresher.h"
#include "model/RuntimeLocation.h"
#include "model/ServiceWatcher.h"
#include "panel/AdvancedSection.h"
#include "panel/AfterModelChanges.h"
#include "panel/Confirmations.h"
#include "panel/ContentHeight.h"
#include "panel/DesktopServiceGroup.h"
#include "panel/LanguageCard.h"
#include "panel/PairingGroup.h"
#include "panel/PanelPieces.h"
#include "panel/StatusCard.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace skerrin {

using namespace Qt::StringLiterals;
using namespace panel;

namespace {

constexpr int kPanelWidth = 430;
// The tallest the panel gets until it knows the screen it opens on.
constexpr int kPanelHeight = 760;
constexpr int kInset = 14;

// The panel must not open on a stale picture: the service's status and the platform's, then the
// pairing session.
QCoro::Task<> refreshOnAppearance(ConnectorMenuBarModel& model) {
    model.location().recompute();
    if (model.refresher().readsServiceStatus()) {
        QCoro::Task<bool> service = model.service().refreshStatusQuietly();
        co_await std::move(service);
    }
    QCoro::Task<> status = model.pairing().refreshDesktopRuntimeStatus(true);
    co_await std::move(status);
    model.pairing().refreshPairingSession();
}

} // namespace

ConnectorMenuBarView::ConnectorMenuBarView(ConnectorMenuBarModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_tasks(new PanelTasks(this)), m_scroll(new QScrollArea(this)) {
    setObjectName(u"connectorMenuBarView"_s);
    setFixedWidth(kPanelWidth);
    m_scroll->setObjectName(u"panelScrollArea"_s);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);

    auto* content = new QWidget;
    content->setObjectName(u"panelContent"_s);
    m_statusCard = new StatusCard(model.actions(), model.installer(), model.language(), model.maintenance(),
                                  model.pairing(), model.service(), content);
    m_languageCard = new LanguageCard(model.language(), content);
    m_service = new DesktopServiceGroup(model.actions(), model.language(), model.maintenance(),
                                        model.primary(), model.watcher(), *m_tasks, content);
    m_pairing = new PairingGroup(model.actions(), model.language(), model.maintenance(), model.pairing(),
                                 *m_tasks, content);
    m_advanced = new AdvancedSection(model, *m_tasks, content);
    m_quit = new QPushButton(content);
    name(m_quit, "quitButton");
    m_unpairConfirm = new Confirmation(Confirmation::Kind::removePairing, model.language(),
                                       model.maintenance(), *m_tasks, this);
    m_uninstallConfirm = new Confirmation(Confirmation::Kind::uninstall, model.language(),
                                          model.maintenance(), *m_tasks, this);

    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(kInset, kInset, kInset, kInset);
    column->setSpacing(kInset);
    column->addWidget(m_statusCard);
    column->addWidget(m_languageCard);
    column->addWidget(m_service->box());
    column->addWidget(m_pairing->box());
    // The disclosure and what it shows are one block: no gap of their own between them.
    auto* advanced = new QVBoxLayout;
    advanced->setSpacing(0);
    advanced->addWidget(m_advanced->toggle(), 0, Qt::AlignLeft);
    advanced->addWidget(m_advanced->content());
    column->addLayout(advanced);
    auto* quitRow = new QHBoxLayout;
    quitRow->addStretch(1);
    quitRow->addWidget(m_quit);
    column->addLayout(quitRow);
    column->addStretch(1);
    // Filled before the scroll area measures it, so that it is measured once, with its texts.
    sync();
    m_scroll->setWidget(content);
    m_height = new ContentHeight(this, m_scroll, kPanelHeight);

    connect(m_quit, &QPushButton::clicked, this, &ConnectorMenuBarView::quitRequested);
    connect(m_advanced, &AdvancedSection::chooseFolderRequested, this,
            &ConnectorMenuBarView::chooseRuntimeFolder);
    connect(m_advanced, &AdvancedSection::removePairingRequested, m_unpairConfirm, &Confirmation::open);
    connect(m_advanced, &AdvancedSection::uninstallRequested, m_uninstallConfirm, &Confirmation::open);
    connect(m_advanced, &AdvancedSection::built, this, &ConnectorMenuBarView::setTabOrder);
    for (Confirmation* confirmation : {m_unpairConfirm, m_uninstallConfirm})
        connect(confirmation, &Confirmation::shownChanged, this, &ConnectorMenuBarView::updateDialogShown);
    connect(m_tasks, &PanelTasks::allFinished, this, &ConnectorMenuBarView::tasksFinished);
    afterModelChanges(m_model, this, [this] { sync(); });

    setTabOrder();
}

ConnectorMenuBarView::~ConnectorMenuBarView() = default;

bool ConnectorMenuBarView::isShowingDialog() const {
    return m_dialogShown;
}

void ConnectorMenuBarView::setMaximumPanelHeight(int height) {
    m_height->setLimit(height);
}

void ConnectorMenuBarView::fitHeight() {
    m_height->fit();
}

int ConnectorMenuBarView::contentHeight() const {
    return m_height->contentHeight();
}

bool ConnectorMenuBarView::hasRunningTasks() const {
    return m_tasks->running() > 0;
}

void ConnectorMenuBarView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_model.watcher().setPanelVisible(false);
}

void ConnectorMenuBarView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_model.watcher().setPanelVisible(true);
    m_service->primaryButton()->setFocus(Qt::OtherFocusReason);
    QCoro::Task<> appearance = refreshOnAppearance(m_model);
    m_tasks->start(std::move(appearance));
}

void ConnectorMenuBarView::sync() {
    const bool hasRoot = m_model.location().validRoot().has_value();
    m_statusCard->sync();
    m_languageCard->sync();
    m_service->sync();
    m_pairing->sync(hasRoot);
    m_advanced->sync(hasRoot);
    setButtonText(m_quit, m_model.language().ui(u"Quit"_s, u"退出"_s));
    m_unpairConfirm->sync();
    m_uninstallConfirm->sync();
    if (m_height)
        m_height->contentChanged();
    emit rendered();
}

void ConnectorMenuBarView::chooseRuntimeFolder() {
    // The chooser is modal and returns when the user has chosen; the popup must stay meanwhile.
    m_choosingFolder = true;
    updateDialogShown();
    std::optional<QCoro::Task<>> refresh = m_model.location().chooseRuntimeFolder();
    m_choosingFolder = false;
    updateDialogShown();
    if (refresh)
        m_tasks->start(std::move(*refresh));
}

void ConnectorMenuBarView::updateDialogShown() {
    const bool shown = m_choosingFolder || m_unpairConfirm->isOpen() || m_uninstallConfirm->isOpen();
    if (shown == m_dialogShown)
        return;
    m_dialogShown = shown;
    emit dialogShownChanged(shown);
}

void ConnectorMenuBarView::setTabOrder() {
    QList<QWidget*> order{m_statusCard->cancelButton(), m_languageCard->english(),
                          m_languageCard->chinese(),    m_service->primaryButton(),
                          m_service->launchToggle(),    m_service->keepOnlineToggle(),
                          m_pairing->finishButton(),    m_pairing->openQrButton()};
    order.append(m_advanced->tabOrder());
    order.append(m_quit);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace skerrin
