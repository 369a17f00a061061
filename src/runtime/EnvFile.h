// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

namespace skerrin {

using EnvValues = QHash<QString, QString>;

// The one reader of a runtime's config/.env. Missing, unreadable, special, non-UTF-8 or over 1 MiB
// files give no keys.
EnvValues parseEnvFile(const QString& path);

// The same rules on a file's content: KEY=value lines, # comments, one pair of quotes dropped;
// content that is not strict UTF-8 gives no keys.
EnvValues parseEnvText(QByteArrayView bytes);

// <root>/config/.env
QString envFilePath(const QString& runtimeRoot);

// The trimmed value of `key` in <root>/config/.env, or empty when absent.
QString envValue(const QString& runtimeRoot, const QString& key);

// RELAY_TOKEN of the runtime; read where needed and never kept.
QString relayToken(const QString& runtimeRoot);

// A pairing is configured once the runtime holds both a relay token and a workspace.
bool hasPairingEnvironment(const EnvValues& env);

} // namespace skerrin
