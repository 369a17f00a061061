// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace skerrin {

// Replaces what the clipboard holds with plain text.
using Clipboard = std::function<void(const QString& text)>;

// Opens a URL, a folder or a file with the desktop's handler; false when that could not be done.
using UrlOpener = std::function<bool(const QUrl& url)>;

// Qt's clipboard and desktop services, for the tray application; the command line has none.
Clipboard makeClipboard();
UrlOpener makeUrlOpener();

} // namespace skerrin
