// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"
#include "platform/SettingsStore.h"

#include <optional>

namespace skerrin {

// The keep-online setting and the mark a stop the user asked for leaves, as stored. A command run in
// a shell writes them while the tray application runs, so they are read afresh from the disk.
struct KeepOnlineSetting {
    bool enabled = false;
    bool paused = false;
};

KeepOnlineSetting readKeepOnlineSetting(SettingsStore& settings);

// Switching it on also lifts the pause: keeping the service online is asking for it to run.
[[nodiscard]] std::optional<Error> saveKeepServiceOnline(SettingsStore& settings, bool enabled);

// A stop the user asked for (true), or a start that ends its pause (false).
[[nodiscard]] std::optional<Error> saveStoppedByUser(SettingsStore& settings, bool stopped);

} // namespace skerrin
