// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <optional>

namespace skerrin::panel {

// The QR image file as an image, read with bounds: a file over 8 MiB or an image over
// 4096 × 4096 is refused before it is decoded, so a huge or hostile file cannot freeze the panel.
// Kept per path, modification time and size, so a file is decoded once however often the panel
// redraws.
class QrImageCache {
public:
    static constexpr qint64 kMaxFileBytes = 8 * 1024 * 1024;
    static constexpr int kMaxSide = 4096;

    // The image, or a null image when the file is missing, too big or not an image.
    const QImage& image(const QString& path);

private:
    struct Key {
        QString path;
        QDateTime modified;
        qint64 size = -1;
        bool operator==(const Key&) const = default;
    };
    std::optional<Key> m_key;
    QImage m_image;
};

// A file's content as an image within the cache's bounds, or a null image.
QImage decodeQrImage(const QByteArray& bytes);

} // namespace skerrin::panel
