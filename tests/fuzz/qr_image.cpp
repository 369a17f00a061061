// SPDX-License-Identifier: MIT
// The QR image file the pairing script leaves, decoded by whichever of Qt's image readers claims it.
#include "FuzzInput.h"

#include "panel/QrImageFile.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>

using namespace skerrin;
using namespace skerrin::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
    // The panel decodes inside a GUI application: some readers (SVG text) need its fonts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Readers complain about every broken file; the fuzzer's own output is what matters.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static int argc = 1;
    static char* args[] = {(*argv)[0], nullptr};
    static QGuiApplication application(argc, args);
    return 0;
}

namespace {

volatile int g_outcome; // keeps the branches below from being folded away

// Qt's readers are not built with the fuzzer's coverage, so on its own the fuzzer sees only the
// few branches of the bounds check and keeps hardly any input. A branch per reader and per kind of
// result lets it tell inputs apart, keep one of each and work on them.
void noteOutcome(const QByteArray& bytes, const QImage& image) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    static const char* const known[] = {"png",  "gif", "jpeg", "jpg", "ico", "cur", "svg",
                                        "svgz", "bmp", "pbm",  "pgm", "ppm", "xbm", "xpm"};
    for (const char* name : known) {
        if (format == name) {
            g_outcome = int(name[0]) + int(name[1]);
            break;
        }
    }
    if (image.isNull())
        g_outcome = 1;
    else if (image.width() == image.height())
        g_outcome = 2; // square, as QR codes are
    else if (image.width() * 4 < image.height() || image.height() * 4 < image.width())
        g_outcome = 3;
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        g_outcome = 4;
        break;
    case QImage::Format_Indexed8:
        g_outcome = 5;
        break;
    case QImage::Format_RGB32:
        g_outcome = 6;
        break;
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        g_outcome = 7;
        break;
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        g_outcome = 8;
        break;
    default:
        g_outcome = 9;
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = input(data, size);
    const QImage image = panel::decodeQrImage(bytes);
    require(image.width() <= panel::QrImageCache::kMaxSide && image.height() <= panel::QrImageCache::kMaxSide,
            "a decoded image keeps within the bounds");
    noteOutcome(bytes, image);
    return 0;
}
