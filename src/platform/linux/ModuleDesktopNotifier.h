// SPDX-License-Identifier: MIT
#pragma once

#include "platform/DesktopNotifier.h"

namespace skerrin {

// The D-Bus notifier lives in a module of its own, so that a command that never notifies does not
// load the D-Bus libraries: it is loaded from `modulePath` on first use. Without the module, or
// when it does not load, nothing is shown and standard error says why, once.
std::unique_ptr<DesktopNotifier> makeModuleDesktopNotifier(const QString& modulePath);

} // namespace skerrin
