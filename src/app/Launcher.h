// SPDX-License-Identifier: MIT
#pragma once

namespace skerrin {

// `skerrin` loads nothing but the C library, so that neither of the two things it can be waits for
// the other's libraries: without a command, or with --windowed, it becomes the tray application (a
// program of its own, see findCompanionFile); with one, it loads the command line's module and runs
// it. Each returns the exit status; the first only when the tray application could not be started.
int execTrayApplication(bool windowed);
int runCommandLine(int argc, char** argv);

// Set for the tray application to the `skerrin` that started it: that is what starts at login and
// what an uninstall names. Unset when the tray application is started by hand.
inline constexpr const char* kLauncherVariable = "SKERRIN_LAUNCHER";

// What the command line's module exports, and what it is called.
inline constexpr const char* kCommandLineModule = "skerrin-cli.so";
inline constexpr const char* kCommandLineEntry = "skerrinCommandLine";
using CommandLineEntry = int (*)(int argc, char** argv);

} // namespace skerrin
