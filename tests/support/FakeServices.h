// SPDX-License-Identifier: MIT
#pragma once

#include "platform/PlatformServices.h"

#include <QSet>
#include <QStringList>

namespace skerrin::test {

// What a test chooses about the desktop session and the hardware; all else is real.
struct FakeDesktop {
    QStringList preferredLanguages{QStringLiteral("en-US")};
    LoginItemStatus loginStatus = LoginItemStatus::notRegistered;
    // Paths (and everything below them) that sit on a removable volume.
    QStringList removableRoots;
    QString shortVersion = QStringLiteral("1.2.0");
    QString buildNumber = QStringLiteral("45");
    std::optional<QString> chosenFolder;
};

// Real settings store (under the temporary home), fakes for what needs a desktop or a disk.
PlatformServices makeTestServices(const FakeDesktop& desktop = {});

} // namespace skerrin::test
