// SPDX-License-Identifier: MIT
#include "core/ProgramLookup.h"

#include "core/Text.h"

#include <QByteArray>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace skerrin {

bool isExecutableFile(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    struct stat info {};
    return ::stat(bytes.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(bytes.constData(), X_OK) == 0;
}

QString applicationSearchPath() {
    return qEnvironmentVariableIsSet("PATH") ? qEnvironmentVariable("PATH") : kFixedSearchPath;
}

std::optional<QString> findProgram(const QString& command, const QString& searchPath) {
    if (command.contains(u'/'))
        return isExecutableFile(command) ? std::optional(command) : std::nullopt;
    if (searchPath.isEmpty())
        return std::nullopt;
    for (const QStringView folder : QStringView(searchPath).split(u':')) {
        const QString candidate =
            (folder.isEmpty() ? QStringLiteral(".") : folder.toString()) + u'/' + command;
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<QString> resolveExecutable(const std::optional<QString>& preferred,
                                         const QString& fallbackCommand) {
    const QString candidate = trimmed(preferred.value_or(QString()));
    if (!candidate.isEmpty() && isExecutableFile(candidate))
        return candidate;
    return findProgram(fallbackCommand);
}

} // namespace skerrin
