// SPDX-License-Identifier: MIT
#include "panel/PanelWindow.h"

#include "panel/ConnectorMenuBarView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace skerrin {
namespace {

// A popup without a window frame needs an edge of its own against what lies behind it.
constexpr int kPopupEdge = 1;

} // namespace

PanelWindow::PanelWindow(ConnectorMenuBarModel& model, QWidget* parent)
    : QWidget(parent, Qt::Window), m_view(new ConnectorMenuBarView(model, this)) {
    setObjectName(QStringLiteral("panelWindow"));
    setWindowTitle(QStringLiteral("Skerrin"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral(SKERRIN_APP_ID),
                                   QIcon(QStringLiteral(":/skerrin/icons/skerrin.svg"))));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    // A grabbing Qt::Popup fails on Wayland; a dialog that closes when the application loses focus
    // behaves the same everywhere.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationInactive && m_popup && isVisible() && dismissPopup())
            m_sinceFocusLoss.start();
    });
}

PanelWindow::~PanelWindow() = default;

void PanelWindow::showAsPopup(std::optional<QPoint> topLeft) {
    setPopup(true);
    if (topLeft)
        move(*topLeft);
    show();
    raise();
    activateWindow();
}

void PanelWindow::showAsWindow() {
    setPopup(false);
    show();
    raise();
    activateWindow();
}

QSize PanelWindow::popupSize() const {
    return m_view->size() + QSize(2 * kPopupEdge, 2 * kPopupEdge);
}

bool PanelWindow::closedOnFocusLossJustNow() const {
    return m_sinceFocusLoss.isValid() && !m_sinceFocusLoss.hasExpired(400);
}

void PanelWindow::setPopup(bool popup) {
    if (popup == m_popup)
        return;
    m_popup = popup;
    const int edge = popup ? kPopupEdge : 0;
    layout()->setContentsMargins(edge, edge, edge, edge);
    setWindowFlags(popup ? Qt::Dialog | Qt::FramelessWindowHint : Qt::Window);
}

bool PanelWindow::dismissPopup() {
    if (m_view->isShowingDialog())
        return false;
    hide();
    return true;
}

void PanelWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!m_popup)
        emit windowClosed();
}

void PanelWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_popup && event->modifiers() == Qt::NoModifier) {
        dismissPopup();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PanelWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_popup)
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace skerrin
