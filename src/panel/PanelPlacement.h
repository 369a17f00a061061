// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace skerrin {

// The panel's top-left: beside the tray icon, on the side facing away from the screen edge the icon
// sits at; when the icon's place is unknown (an empty rect), against the screen edge nearest the
// pointer, beside it. Always inside `available`, at its top-left when the panel is larger.
QPoint panelPosition(const QRect& icon, const QPoint& pointer, const QRect& available, const QSize& panel);

// The room the panel has: `available` less the band the icon sits in, so a panel as tall as this
// fits beside the icon without covering its bar. All of `available` when the icon's place is
// unknown.
QRect panelArea(const QRect& icon, const QRect& available);

} // namespace skerrin
