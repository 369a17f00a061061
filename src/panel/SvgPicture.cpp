// SPDX-License-Identifier: MIT
#include "panel/SvgPicture.h"

#include <QBuffer>
#include <QImageReader>

namespace skerrin::panel {

QImage svgPicture(QByteArray svg, QSize size) {
    QBuffer buffer(&svg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "svg");
    reader.setScaledSize(size);
    return reader.read();
}

QSize svgSize(QByteArray svg) {
    QBuffer buffer(&svg);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, "svg").size();
}

} // namespace skerrin::panel
