// SPDX-License-Identifier: MIT
#include "platform/DesktopServices.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>

namespace skerrin {

Clipboard makeClipboard() {
    return [](const QString& text) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(text);
    };
}

UrlOpener makeUrlOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

} // namespace skerrin
