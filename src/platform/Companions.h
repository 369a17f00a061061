// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string_view>

namespace skerrin {

// A file that ships with Skerrin's programs (the tray application, the notifications module):
// beside the running program, as in a build tree and for the tray application itself, or in
// Skerrin's folder under libexec, seen from the installed `skerrin`. Found from this program's own
// file, never PATH, so that a build tree's files are not mixed with an installed one's. Empty
// when there is none.
std::filesystem::path companionFile(std::string_view name);

// This program's own file, links resolved; empty if unknown.
std::filesystem::path runningProgramFile();

} // namespace skerrin
