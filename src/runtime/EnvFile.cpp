// SPDX-License-Identifier: MIT
#include "runtime/EnvFile.h"

#include "core/BoundedFile.h"
#include "core/Text.h"
#include "runtime/RuntimeLayout.h"

namespace skerrin {
namespace {

// Far beyond any real .env; anything larger is not one.
constexpr qint64 kMaxEnvFileSize = kMiB;

} // namespace

EnvValues parseEnvFile(const QString& path) {
    const std::optional<QByteArray> bytes = readRegularFile(path, kMaxEnvFileSize);
    return bytes ? parseEnvText(*bytes) : EnvValues();
}

EnvValues parseEnvText(QByteArrayView bytes) {
    const std::optional<QString> text = decodeStrictUtf8(bytes);
    if (!text)
        return {};

    EnvValues values;
    for (const QString& rawLine : splitLines(*text)) {
        const QString line = trimmed(rawLine);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        values.insert(trimmed(line.left(equals)), unquoted(trimmed(line.mid(equals + 1)), true));
    }
    return values;
}

QString envFilePath(const QString& runtimeRoot) {
    return runtimePath(runtimeRoot, RuntimeLayout::envFile);
}

QString envValue(const QString& runtimeRoot, const QString& key) {
    return trimmed(parseEnvFile(envFilePath(runtimeRoot)).value(key));
}

QString relayToken(const QString& runtimeRoot) {
    return envValue(runtimeRoot, QStringLiteral("RELAY_TOKEN"));
}

bool hasPairingEnvironment(const EnvValues& env) {
    return !trimmed(env.value(QStringLiteral("RELAY_TOKEN"))).isEmpty() &&
           !trimmed(env.value(QStringLiteral("CONNECTOR_WORKSPACE"))).isEmpty();
}

} // namespace skerrin
