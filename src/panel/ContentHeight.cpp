// SPDX-License-Identifier: MIT
#include "panel/ContentHeight.h"

#include <QEvent>
#include <QScrollArea>

#include <algorithm>

namespace skerrin::panel {

ContentHeight::ContentHeight(QWidget* panel, QScrollArea* scroll, int limit)
    : QObject(panel), m_panel(panel), m_scroll(scroll), m_content(scroll->widget()), m_limit(limit) {
    scroll->widget()->installEventFilter(this);
    m_panel->installEventFilter(this);
}

void ContentHeight::setLimit(int limit) {
    m_limit = limit;
    fit();
}

int ContentHeight::contentHeight() const {
    const QWidget* content = m_scroll->widget();
    content->ensurePolished(); // fonts and styles decide how tall texts wrap, also before the first show
    const int width = m_panel->width() - m_scroll->frameWidth() * 2;
    if (!m_panel->isVisible() && (m_stale || width != m_measuredWidth)) {
        // Hidden, a block's new size stops at its own layout, which lays out only while shown, and
        // the layouts above keep the size they knew: measuring before the panel opens starts afresh
        // once something has changed. (Each block measured costs its text's layout.)
        for (QWidget* widget : content->findChildren<QWidget*>())
            widget->updateGeometry();
        m_stale = false;
        m_measuredWidth = width;
    }
    return content->hasHeightForWidth() ? content->heightForWidth(width) : content->sizeHint().height();
}

bool ContentHeight::eventFilter(QObject* watched, QEvent* event) {
    // The content's layout asks to be laid out again whenever a block changes its size hint;
    // measured once that has happened, after a burst of such requests.
    if (watched == m_panel && event->type() == QEvent::Show)
        fit();
    // Compared by address only: while the panel is destroyed its children go before this filter.
    if (watched == m_content && event->type() == QEvent::LayoutRequest && m_panel->isVisible() &&
        !m_pending) {
        m_pending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_pending = false;
                fit();
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void ContentHeight::fit() {
    const int whole = contentHeight() + m_scroll->frameWidth() * 2;
    const int height = std::min(whole, m_limit);
    if (m_panel->minimumHeight() != height || m_panel->maximumHeight() != height)
        m_panel->setFixedHeight(height);
    // The scroll area decides on its bar at the width it has, which a bar already shown narrows: text
    // wrapped to that width asks for the bar again, and it would stay once the content fits. Whether
    // the content fits at the whole width decides instead.
    const Qt::ScrollBarPolicy bar = whole > m_limit ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    if (m_scroll->verticalScrollBarPolicy() != bar)
        m_scroll->setVerticalScrollBarPolicy(bar);
}

} // namespace skerrin::panel
