// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace skerrin::panel {

// SVG pictures through the toolkit's image plugin, which loads Qt Svg the first time one is drawn:
// a panel that draws none opens without it.
// `svg` drawn at `size` (transparent around it); null if it cannot be read.
QImage svgPicture(QByteArray svg, QSize size);
// The size `svg` says it has.
QSize svgSize(QByteArray svg);

} // namespace skerrin::panel
