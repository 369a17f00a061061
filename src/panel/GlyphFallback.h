// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace skerrin::panel {

// Whether one of these font families draws every character of `text`.
bool fontsCover(const QString& text, const QStringList& families);
// Whether any installed font does: the toolkit falls back from font to font, so one is enough.
bool installedFontsCover(const QString& text);

// "中文" as a picture in `color`, `height` pixels high, for a machine with no Chinese font, where
// the text would be two empty boxes.
QPixmap chineseLabelPicture(const QColor& color, int height, qreal pixelRatio);

} // namespace skerrin::panel
