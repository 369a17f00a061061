// SPDX-License-Identifier: MIT
#include "platform/TerminalLauncher.h"

namespace skerrin {

QString terminalAppleScript(const QString& command) {
    // Backslashes first, so that the backslash put before each quote stays single.
    QString escaped = command;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QStringLiteral("tell application \"Terminal\"\n"
                          "    activate\n"
                          "    do script \"") +
           escaped + QStringLiteral("\"\nend tell");
}

QString keptOpenScript(const QString& command) {
    // A newline, not a semicolon: the command then ends the same way whatever it ends with.
    return command + QStringLiteral("\necho\nread -r -p 'Press Enter to close this window. ' _\n");
}

QList<TerminalCandidate> terminalCandidates(const QString& terminalVariable) {
    const QStringList e{QStringLiteral("-e")};
    QList<TerminalCandidate> candidates;
    if (!terminalVariable.trimmed().isEmpty())
        candidates.append({terminalVariable.trimmed(), e});
    candidates += {
        {QStringLiteral("x-terminal-emulator"), e},
        {QStringLiteral("gnome-terminal"), {QStringLiteral("--")}},
        {QStringLiteral("konsole"), e},
        // -e takes one string there; -x takes the rest of the line as the command.
        {QStringLiteral("xfce4-terminal"), {QStringLiteral("-x")}},
        {QStringLiteral("kitty"), {}},
        {QStringLiteral("alacritty"), e},
        {QStringLiteral("foot"), {}},
        {QStringLiteral("xterm"), e},
    };
    return candidates;
}

} // namespace skerrin
