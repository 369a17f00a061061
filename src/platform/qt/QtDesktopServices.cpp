// SPDX-License-Identifier: MIT
#include "platform/DesktopServices.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>

namespace skerrin {
namespace {

bool hasGuiApplication() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

Clipboard makeClipboard() {
    return [](const QString& text) {
        if (!hasGuiApplication())
            return;
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(text);
    };
}

UrlOpener makeUrlOpener() {
    return [](const QUrl& url) { return hasGuiApplication() && QDesktopServices::openUrl(url); };
}

} // namespace skerrin
