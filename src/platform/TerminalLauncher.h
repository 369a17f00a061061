// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace skerrin {

// Opens a terminal window that runs `command`, a bash command line, and returns at once: it never
// waits for the window, which stays until the user closes it. Blocks only while the terminal starts.
using TerminalLauncher = std::function<std::optional<Error>(const QString& command)>;

TerminalLauncher makeTerminalLauncher();

// macOS: the AppleScript that has Terminal run `command` in a new window, in front.
QString terminalAppleScript(const QString& command);

// Linux: what the terminal's bash runs: `command`, then a wait for Enter, so that the device code
// and any error stay readable after the command ends.
QString keptOpenScript(const QString& command);

// Linux: a terminal emulator and the arguments that come before `/bin/bash -lc SCRIPT`.
struct TerminalCandidate {
    QString program; // a name looked up in PATH (findProgram), or a path
    QStringList leadingArguments;

    bool operator==(const TerminalCandidate&) const = default;
};

// Linux: the terminals to try, in order: `terminalVariable` ($TERMINAL) when not empty, then the
// usual emulators, each with the form of command line it understands.
QList<TerminalCandidate> terminalCandidates(const QString& terminalVariable);

} // namespace skerrin
