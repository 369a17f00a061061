// SPDX-License-Identifier: MIT
#pragma once

#include "model/Types.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

namespace skerrin {

// What runtime scripts always get as PATH, and what any run gets when it has none.
inline const QString kFixedSearchPath =
    QStringLiteral("/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin");

// Variables added to the application's own environment for one run; a given value replaces an
// inherited one of the same name.
using Environment = QHash<QString, QString>;

// Runs the executable (a path, never looked up) and blocks the calling thread until it has ended.
// Exit status 0 gives the combined output; any other status, a signal's number included, gives an
// error of kErrorDomain with that code. A child that cannot be started gives the platform's error.
Result<QString> runProcessSync(const QString& executable, const QStringList& arguments,
                               const std::optional<QString>& currentDirectory,
                               const Environment& environment);

// runProcessSync on a thread of its own; the caller resumes on its own thread. Never cancelled and
// without a time limit, so a run that waits forever only costs its own thread.
QCoro::Task<Result<QString>> runProcess(QString executable, QStringList arguments,
                                        std::optional<QString> currentDirectory, Environment environment);

// /bin/bash <path> <arguments...> in currentDirectory, with CONFIG_ENV_FILE naming the environment
// file under currentDirectory and PATH the fixed search path.
QCoro::Task<Result<QString>> runShellScript(QString path, QStringList arguments, QString currentDirectory);

// node <root>/<scriptRelativePath> <arguments...> in root, node found through the fixed search path.
QCoro::Task<Result<QString>> runNodeScript(QString root, QString scriptRelativePath, QStringList arguments);

// The preferred path when it names an executable file, otherwise what `which fallbackCommand` prints.
// Blocks; any failure gives nothing.
std::optional<QString> resolveExecutable(const std::optional<QString>& preferred,
                                         const QString& fallbackCommand);

// osascript -e <source>; blocks. Nothing on success.
std::optional<Error> runAppleScript(const QString& source);

} // namespace skerrin
