// SPDX-License-Identifier: MIT
#include "panel/GlyphFallback.h"

#include "panel/SvgPicture.h"

#include <QFile>
#include <QFont>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace skerrin::panel {

bool installedFontsCover(const QString& text, const QFont& font) {
    // Laid out as a label lays it out, falling back from font to font: a character that no font
    // has comes out as glyph 0. Only the fonts the text will be drawn in are loaded.
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return std::ranges::none_of(runs, [](const QGlyphRun& run) { return run.glyphIndexes().contains(0); });
}

QPixmap chineseLabelPicture(const QColor& color, int height, qreal pixelRatio) {
    QFile file(QStringLiteral(":/skerrin/icons/language-zh.svg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray svg = file.readAll();
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    const QSize natural = svgSize(svg);
    if (natural.isEmpty())
        return {};
    const QSize size(qRound(natural.width() * double(height) / natural.height()), height);
    QPixmap pixmap(size * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setOpacity(color.alphaF());
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), svgPicture(svg, size * pixelRatio));
    return pixmap;
}

} // namespace skerrin::panel
