// SPDX-License-Identifier: MIT
#include "panel/FlowLayout.h"

#include <QWidget>

#include <algorithm>

namespace skerrin::panel {

FlowLayout::FlowLayout(int spacing, QWidget* parent) : QLayout(parent) {
    setSpacing(spacing);
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item) {
    m_items.append(item);
}

QLayoutItem* FlowLayout::takeAt(int index) {
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

QSize FlowLayout::minimumSize() const {
    QSize size;
    for (const QLayoutItem* item : m_items)
        if (!item->isEmpty())
            size = size.expandedTo(item->minimumSize());
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize FlowLayout::sizeHint() const {
    int width = 0, height = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        width += (width > 0 ? spacing() : 0) + item->sizeHint().width();
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), height + margins.top() + margins.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    int top = area.y();
    QList<QLayoutItem*> line;
    int lineWidth = 0, lineHeight = 0;
    const auto finishLine = [&] {
        if (apply) {
            int x = area.x();
            for (QLayoutItem* item : line) {
                const QSize size = item->sizeHint().boundedTo(QSize(area.width(), QWIDGETSIZE_MAX));
                item->setGeometry(QRect(QPoint(x, top + (lineHeight - size.height()) / 2), size));
                x += size.width() + spacing();
            }
        }
        top += lineHeight + spacing();
        line.clear();
        lineWidth = lineHeight = 0;
    };
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint();
        if (!line.isEmpty() && lineWidth + spacing() + size.width() > area.width())
            finishLine();
        lineWidth += (line.isEmpty() ? 0 : spacing()) + size.width();
        lineHeight = std::max(lineHeight, size.height());
        line.append(item);
    }
    if (!line.isEmpty())
        finishLine();
    const int used = top == area.y() ? 0 : top - spacing() - area.y();
    const QMargins margins = contentsMargins();
    return used + margins.top() + margins.bottom();
}

} // namespace skerrin::panel
