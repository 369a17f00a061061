// SPDX-License-Identifier: MIT
#include "platform/TerminalLauncher.h"

#include "core/ProgramLookup.h"

#include <QProcess>

namespace skerrin {
namespace {

// The first terminal found, started detached in a session of its own: Skerrin never waits for it,
// and a Ctrl-C meant for Skerrin does not close it.
std::optional<Error> openInLinuxTerminal(const QString& command) {
    const QString script = keptOpenScript(command);
    for (const TerminalCandidate& candidate : terminalCandidates(qEnvironmentVariable("TERMINAL"))) {
        const std::optional<QString> program = findProgram(candidate.program);
        if (!program)
            continue;
        QProcess terminal;
        terminal.setProgram(*program);
        terminal.setArguments(candidate.leadingArguments +
                              QStringList{QStringLiteral("/bin/bash"), QStringLiteral("-lc"), script});
        // Its chatter would mix with Skerrin's own output on the command line.
        terminal.setStandardInputFile(QProcess::nullDevice());
        terminal.setStandardOutputFile(QProcess::nullDevice());
        terminal.setStandardErrorFile(QProcess::nullDevice());
        if (!terminal.startDetached())
            return Error{QStringLiteral("QProcess"), int(terminal.error()), terminal.errorString()};
        return std::nullopt;
    }
    return error(QStringLiteral("Failed to open Terminal."));
}

} // namespace

TerminalLauncher makeTerminalLauncher() {
    return &openInLinuxTerminal;
}

} // namespace skerrin
