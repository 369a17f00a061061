// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace skerrin {

// The entry point `entry` of a module that ships with Skerrin (see companionFile), loaded from
// `path` for the rest of the run: its code lives there. Null when there is no such module or it
// does not load; standard error then says why, after `consequence` (what goes without it).
void* moduleEntry(const QString& path, const char* entry, const char* consequence);

} // namespace skerrin
