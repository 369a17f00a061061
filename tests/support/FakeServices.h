// SPDX-License-Identifier: MIT
#pragma once

#include "platform/PlatformServices.h"

#include <QStringList>

namespace skerrin::test {

// What a test chooses about the desktop session and the hardware; all else is real.
struct FakeDesktop {
    QStringList preferredLanguages{QStringLiteral("en-US")};
    // Paths (and everything below them) that sit on a removable volume.
    QStringList removableRoots{};
    QString shortVersion = QStringLiteral("1.2.0");
    QString buildNumber = QStringLiteral("45");
};

// A bookmark as the fake volumes make it: the path as JSON; {"stale":true} makes it resolve as stale.
QByteArray fakeBookmark(const QString& path, bool stale = false);

// Real settings store and autostart entry (under the temporary home), fakes for what needs a
// desktop or a disk.
PlatformServices makeTestServices(const FakeDesktop& desktop = {});

} // namespace skerrin::test
