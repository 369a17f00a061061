// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"

#include <QString>

namespace skerrin {

// The texts that name the computer Skerrin runs on: "Mac" on macOS, "computer" elsewhere. One
// implementation per platform.
namespace ComputerWords {
// The primary button and the pairing group's title.
QString pairThisComputer(AppLanguage language);
// The status detail after an uninstall.
QString runtimeRemoved(AppLanguage language);
// What the uninstall confirmation warns of.
QString uninstallWarning(AppLanguage language);
} // namespace ComputerWords

} // namespace skerrin
