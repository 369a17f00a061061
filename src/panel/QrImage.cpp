// SPDX-License-Identifier: MIT
#include "panel/QrImage.h"

#include "panel/PanelPieces.h"
#include "panel/PanelStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace skerrin::panel {

namespace {

constexpr int kSide = 140;

} // namespace

QrImage::QrImage(QWidget* parent) : QWidget(parent) {
    describeDrawnImages();
    setFixedSize(kSide, kSide);
}

bool QrImage::setImage(const QImage& image) {
    if (image.cacheKey() != m_source.cacheKey()) {
        m_source = image;
        // Nearest neighbour, so every module stays a sharp square.
        m_image =
            image.isNull() ? QImage() : image.scaled(size(), Qt::KeepAspectRatio, Qt::FastTransformation);
        update();
    }
    return !m_image.isNull();
}

void QrImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath rounded;
    rounded.addRoundedRect(frame, 10, 10);
    painter.fillPath(rounded, Qt::white);
    painter.save();
    painter.setClipPath(rounded);
    painter.drawImage(QPoint((width() - m_image.width()) / 2, (height() - m_image.height()) / 2), m_image);
    painter.restore();
    painter.setPen(QPen(withOpacity(secondaryColor(palette()), 0.15), 1));
    painter.drawPath(rounded);
}

} // namespace skerrin::panel
