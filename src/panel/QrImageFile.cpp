// SPDX-License-Identifier: MIT
#include "panel/QrImageFile.h"

#include "core/BoundedFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

namespace skerrin::panel {

QImage decodeQrImage(const QByteArray& bytes) {
    if (bytes.isEmpty() || bytes.size() > QrImageCache::kMaxFileBytes)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The announced size is not always the decoded one (a GIF's screen can be larger than the
    // frame it announces), so no reader may allocate more than the largest image allowed needs
    // at 32 bits a pixel, and the decoded image is measured again.
    reader.setAllocationLimit(int(qint64(QrImageCache::kMaxSide) * QrImageCache::kMaxSide * 4 / kMiB));
    const auto withinBounds = [](QSize size) {
        return size.width() <= QrImageCache::kMaxSide && size.height() <= QrImageCache::kMaxSide;
    };
    const QSize size = reader.size();
    // A format that does not tell its size before decoding is refused too.
    if (!size.isValid() || !withinBounds(size))
        return {};
    QImage image = reader.read();
    return withinBounds(image.size()) ? image : QImage();
}

const QImage& QrImageCache::image(const QString& path) {
    const QFileInfo info(path);
    Key key{path, info.exists() ? info.lastModified() : QDateTime(), info.exists() ? info.size() : -1};
    if (m_key != key) {
        std::optional<QByteArray> bytes;
        if (key.size > 0 && key.size <= kMaxFileBytes)
            bytes = readRegularFile(path, kMaxFileBytes);
        m_image = bytes ? decodeQrImage(*bytes) : QImage();
        m_key = std::move(key);
    }
    return m_image;
}

} // namespace skerrin::panel
