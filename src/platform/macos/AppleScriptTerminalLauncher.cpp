// SPDX-License-Identifier: MIT
#include "platform/TerminalLauncher.h"
#include "platform/macos/AppleScript.h"

namespace skerrin {

// Terminal runs the command in a new window; osascript returns once it has asked for that.
TerminalLauncher makeTerminalLauncher() {
    return [](const QString& command) { return runAppleScript(terminalAppleScript(command)); };
}

} // namespace skerrin
