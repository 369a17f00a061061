// SPDX-License-Identifier: MIT
#pragma once

namespace skerrin {

// The tray application is a program of its own, so that a command never loads a GUI library.
// `skerrin` without a command, or with --windowed, becomes it (see companionFile). Returns only
// when it could not be started (the exit status).
int execTrayApplication(bool windowed);

// Set for the tray application to the `skerrin` that started it: that is what starts at login and
// what an uninstall names. Unset when the tray application is started by hand.
inline constexpr const char* kLauncherVariable = "SKERRIN_LAUNCHER";

} // namespace skerrin
