// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace skerrin {

// Asks the user for one existing folder; absent when cancelled. Titles are passed in English.
using FolderChooser = std::function<std::optional<QString>(const QString& title, const QString& prompt)>;

} // namespace skerrin
