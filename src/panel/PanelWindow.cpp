// SPDX-License-Identifier: MIT
#include "panel/PanelWindow.h"

#include "panel/ConnectorMenuBarView.h"
#include "panel/X11WindowState.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace skerrin {
namespace {

// A popup without a window frame needs an edge of its own against what lies behind it.
constexpr int kPopupEdge = 1;
// A window's title bar and frame, until the window manager has said how tall they are.
constexpr int kFrameAllowance = 40;

// Screen readers announce a window by its frame and name; a plain widget window would be read as a
// filler with no window around it.
QAccessibleInterface* panelWindowRole(const QString& className, QObject* object) {
    if (className == QLatin1String("skerrin::PanelWindow") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

PanelWindow::PanelWindow(ConnectorMenuBarModel& model, QWidget* parent)
    : QWidget(parent, Qt::Window), m_view(new ConnectorMenuBarView(model, this)) {
    static const bool roleKnown = [] {
        QAccessible::installFactory(panelWindowRole);
        return true;
    }();
    Q_UNUSED(roleKnown);
    setObjectName(QStringLiteral("panelWindow"));
    setWindowTitle(QStringLiteral("Skerrin"));
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
    // Native, as a popup, before it is placed: an X11 window manager that meets the window only as
    // it is mapped may put it where it likes rather than beside the icon.
    winId();
    if (topLeft)
        move(*topLeft);
    m_placed = topLeft.has_value();
    setSkipTaskbarAndPager(this, true);
    m_view->fitHeight();
    m_holdsBottom = topLeft && !m_popupArea.isEmpty() && y() + height() - 1 >= m_popupArea.bottom();
    show();
    raise();
    activateWindow();
}

void PanelWindow::showAsWindow() {
    setPopup(false);
    fitWindowToScreen();
    setSkipTaskbarAndPager(this, false);
    m_view->fitHeight();
    show();
    raise();
    activateWindow();
}

void PanelWindow::setPopupArea(const QRect& area) {
    m_popupArea = area;
    m_view->setMaximumPanelHeight(area.height() - 2 * kPopupEdge);
}

void PanelWindow::fitWindowToScreen() {
    const QScreen* on = screen();
    if (!on)
        return;
    const int frame = frameGeometry().height() - geometry().height();
    m_view->setMaximumPanelHeight(on->availableGeometry().height() - (frame > 0 ? frame : kFrameAllowance));
}

QSize PanelWindow::popupSize() const {
    m_view->fitHeight();
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
    // A tool window: no taskbar entry on desktops that list only application windows, and still not
    // a grabbing popup.
    setWindowFlags(popup ? Qt::Tool | Qt::FramelessWindowHint : Qt::Window);
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

void PanelWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A popup that grew (the advanced section opened) stays inside its room, beside the icon; one
    // against the bottom of its room stays there as its content changes.
    if (!m_popup || !isVisible() || m_popupArea.isEmpty())
        return;
    const QRect area = m_popupArea;
    QPoint place = pos();
    if (m_holdsBottom)
        place.setY(std::max(area.top(), area.bottom() + 1 - height()));
    else if (!area.contains(geometry()))
        place = {std::clamp(x(), area.left(), std::max(area.left(), area.right() + 1 - width())),
                 std::clamp(y(), area.top(), std::max(area.top(), area.bottom() + 1 - height()))};
    move(place);
    // Resized while the window manager is still taking the window in (the content settles just
    // after showing), the toolkit can send its stale idea of the place along, and an X11 manager
    // puts the popup there, in the screen's corner under the bar; the place goes along again.
    if (m_placed && windowHandle())
        windowHandle()->setPosition(place);
}

bool PanelWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The icon is for a taskbar or a window switcher: finding it in the theme and drawing it waits
    // until the panel itself has been painted.
    if (event->type() == QEvent::UpdateRequest && !m_iconRequested) {
        m_iconRequested = true;
        QTimer::singleShot(0, this, [this] {
            setWindowIcon(QIcon::fromTheme(QStringLiteral(SKERRIN_APP_ID),
                                           QIcon(QStringLiteral(":/skerrin/icons/skerrin.svg"))));
        });
    }
    return handled;
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
