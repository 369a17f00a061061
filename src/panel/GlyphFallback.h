// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

namespace skerrin::panel {

// Whether every character of `text` in `font` is drawn, by it or by an installed font the toolkit
// falls back to, rather than as a box.
bool installedFontsCover(const QString& text, const QFont& font);

// "中文" as a picture in `color`, `height` pixels high, for a machine with no Chinese font, where
// the text would be two empty boxes.
QPixmap chineseLabelPicture(const QColor& color, int height, qreal pixelRatio);

} // namespace skerrin::panel
