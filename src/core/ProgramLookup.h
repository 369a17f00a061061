// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

namespace skerrin {

// What any run gets as PATH when its environment has none (and what runtime scripts always get).
inline const QString kFixedSearchPath =
    QStringLiteral("/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin");

// Whether `path` names a regular file (links followed) that this process may execute.
bool isExecutableFile(const QString& path);

// The application's PATH, or kFixedSearchPath when it has none: where its children would look.
QString applicationSearchPath();

// Finds `command` as `which` does: a command with a slash is taken as written; otherwise the first
// folder of `searchPath` (colon-separated, an empty folder meaning the current one) that holds an
// executable file of that name gives folder/command. An empty search path finds nothing.
std::optional<QString> findProgram(const QString& command,
                                   const QString& searchPath = applicationSearchPath());

// The preferred path, trimmed, when it names an executable file; otherwise `fallbackCommand` found
// on the application's search path. Blocks on the file system only; any failure gives nothing.
std::optional<QString> resolveExecutable(const std::optional<QString>& preferred,
                                         const QString& fallbackCommand);

} // namespace skerrin
