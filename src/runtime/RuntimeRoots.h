// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace skerrin {

// ~/.brevant, where the standard runtime and its staging folders live.
QString standardInstallRoot();
// ~/.brevant/brevant-runtime, the standard runtime root, whether or not anything is installed there.
QString standardRuntimeRoot();

// All seven entries of the validity test exist under `path`, checked in their order.
bool hasRuntimeLayout(const QString& path);

// Besides macOS's /Volumes, the mount roots Linux desktops use for removable media.
bool isUnderExternalMountRoot(const QString& path);

} // namespace skerrin
