// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace skerrin {

// A file that ships with Skerrin's programs (the tray application, the command line's module, the
// notifications module): beside the running program, as in a build tree and for the tray
// application itself, or in Skerrin's folder under libexec, seen from the installed `skerrin`.
// Found from this program's own file, never PATH, so that a build tree's files are not mixed with
// an installed one's. Written to `path` (NUL-terminated); false when there is none or it does not
// fit. C library calls only: `skerrin` itself, which loads no other library, finds them this way.
bool findCompanionFile(const char* name, char* path, std::size_t size);

// This program's own file, links resolved; false if unknown or it does not fit.
bool readRunningProgramFile(char* path, std::size_t size);

// The same for code that works with paths; empty when there is none.
std::filesystem::path companionFile(std::string_view name);
std::filesystem::path runningProgramFile();

} // namespace skerrin
