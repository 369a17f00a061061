// SPDX-License-Identifier: MIT
#include "panel/GlyphFallback.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QPainter>
#include <QRawFont>
#include <QSvgRenderer>

namespace skerrin::panel {

bool fontsCover(const QString& text, const QStringList& families) {
    const QList<uint> characters = text.toUcs4();
    for (const QString& family : families) {
        const QRawFont font = QRawFont::fromFont(QFont(family));
        if (font.isValid() && std::all_of(characters.begin(), characters.end(),
                                          [&font](uint c) { return font.supportsCharacter(c); }))
            return true;
    }
    return false;
}

bool installedFontsCover(const QString& text) {
    // The families that say they write Chinese first, and only if none does, the rest: loading
    // every font to ask would cost the start-up dearly.
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    if (fontsCover(text, chinese))
        return true;
    QStringList others = QFontDatabase::families();
    others.removeIf([&chinese](const QString& family) { return chinese.contains(family); });
    return fontsCover(text, others);
}

QPixmap chineseLabelPicture(const QColor& color, int height, qreal pixelRatio) {
    QFile file(QStringLiteral(":/skerrin/icons/language-zh.svg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray svg = file.readAll();
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(svg);
    const QSizeF natural = renderer.defaultSize();
    const QSize size(qRound(natural.width() * height / natural.height()), height);
    QPixmap pixmap(size * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setOpacity(color.alphaF());
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace skerrin::panel
