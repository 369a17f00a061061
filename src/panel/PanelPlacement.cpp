// SPDX-License-Identifier: MIT
#include "panel/PanelPlacement.h"

#include <algorithm>

namespace skerrin {
namespace {

enum class Edge { top, bottom, left, right };

// Distances are negative outside the rect, so an anchor outside the work area (the usual case for a
// tray) counts as nearest to the edge it lies beyond. Trays mostly sit in a bar along the top or
// bottom, so an anchor that close to either goes with it, even in a corner nearer the side.
Edge nearestEdge(const QPoint& point, const QRect& area) {
    constexpr int barReach = 48;
    const int top = point.y() - area.top();
    const int bottom = area.bottom() - point.y();
    const int left = point.x() - area.left();
    const int right = area.right() - point.x();
    if (std::min(top, bottom) <= std::max(std::min(left, right), barReach))
        return top <= bottom ? Edge::top : Edge::bottom;
    return left <= right ? Edge::left : Edge::right;
}

// The start of a span of `size` within [low, low + length), the low end winning when it cannot fit.
int clampInto(int start, int low, int length, int size) {
    return std::max(low, std::min(start, low + length - size));
}

} // namespace

constexpr int gap = 4; // a little air between the icon and the panel

QPoint panelPosition(const QRect& icon, const QPoint& pointer, const QRect& available, const QSize& panel) {
    const bool iconKnown = !icon.isEmpty();
    const QPoint anchor = iconKnown ? icon.center() : pointer;
    const int w = panel.width();
    const int h = panel.height();
    QPoint topLeft;
    switch (nearestEdge(anchor, available)) {
    case Edge::top:
        topLeft = {anchor.x() - w / 2, iconKnown ? icon.bottom() + 1 + gap : available.top()};
        break;
    case Edge::bottom:
        topLeft = {anchor.x() - w / 2, iconKnown ? icon.top() - gap - h : available.bottom() + 1 - h};
        break;
    case Edge::left:
        topLeft = {iconKnown ? icon.right() + 1 + gap : available.left(), anchor.y() - h / 2};
        break;
    case Edge::right:
        topLeft = {iconKnown ? icon.left() - gap - w : available.right() + 1 - w, anchor.y() - h / 2};
        break;
    }
    return {clampInto(topLeft.x(), available.left(), available.width(), w),
            clampInto(topLeft.y(), available.top(), available.height(), h)};
}

QRect panelArea(const QRect& icon, const QRect& available) {
    if (icon.isEmpty())
        return available;
    QRect area = available;
    switch (nearestEdge(icon.center(), available)) {
    case Edge::top:
        area.setTop(std::max(available.top(), icon.bottom() + 1 + gap));
        break;
    case Edge::bottom:
        area.setBottom(std::min(available.bottom(), icon.top() - gap - 1));
        break;
    case Edge::left:
        area.setLeft(std::max(available.left(), icon.right() + 1 + gap));
        break;
    case Edge::right:
        area.setRight(std::min(available.right(), icon.left() - gap - 1));
        break;
    }
    return area.isEmpty() ? available : area;
}

} // namespace skerrin
