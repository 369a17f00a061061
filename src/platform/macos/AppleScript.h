// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"

#include <optional>

namespace skerrin {

// osascript -e <source>; blocks. Nothing on success; "Failed to open Terminal." when it fails
// without a word on standard error.
std::optional<Error> runAppleScript(const QString& source);

} // namespace skerrin
