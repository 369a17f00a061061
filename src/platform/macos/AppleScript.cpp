// SPDX-License-Identifier: MIT
#include "platform/macos/AppleScript.h"

#include "core/Text.h"

#include <QProcess>

namespace skerrin {

// macOS only. The process runner lies above the platform layer, so this short, blocking
// osascript call is made with QProcess.
std::optional<Error> runAppleScript(const QString& source) {
    QProcess process;
    process.setProgram(QStringLiteral("/usr/bin/osascript"));
    process.setArguments({QStringLiteral("-e"), source});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted())
        return Error{QStringLiteral("QProcess"), int(process.error()), process.errorString()};
    process.waitForFinished(30000);
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return std::nullopt;
    const QString text = decodeStrictUtf8(process.readAllStandardError()).value_or(QString());
    return error(trimmed(text).isEmpty() ? QStringLiteral("Failed to open Terminal.") : text);
}

} // namespace skerrin
