// SPDX-License-Identifier: MIT
#pragma once

#include "panel/QrImageFile.h"

#include <QImage>
#include <QWidget>

namespace skerrin::panel {

// The QR code, 140 × 140, sharp modules on a white rounded rectangle.
class QrImage : public QWidget {
    Q_OBJECT

public:
    explicit QrImage(QWidget* parent);
    // Whether there is an image to show; the image is redrawn only when it is another one.
    bool setImage(const QImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_source;
    QImage m_image; // scaled to fit
};

} // namespace skerrin::panel
