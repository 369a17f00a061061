// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace skerrin {

using EnvValues = QHash<QString, QString>;

// The one reader of a runtime's config/.env. Missing, unreadable or non-UTF-8 files give no keys.
EnvValues parseEnvFile(const QString& path);

// Splits at every line break (LF, CR, CRLF, VT, FF, U+0085, U+2028, U+2029), dropping empty pieces.
QStringList splitLines(const QString& text);

// <root>/config/.env
QString envFilePath(const QString& runtimeRoot);

// The trimmed value of `key` in <root>/config/.env, or empty when absent.
QString envValue(const QString& runtimeRoot, const QString& key);

// RELAY_TOKEN of the runtime; read where needed and never kept.
QString relayToken(const QString& runtimeRoot);

} // namespace skerrin
