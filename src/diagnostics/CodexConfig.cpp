// SPDX-License-Identifier: MIT
#include "diagnostics/CodexConfig.h"

#include "core/Text.h"

namespace skerrin {

std::optional<CodexProxyEnv> readCodexProxyEnv(QByteArrayView configToml) {
    const std::optional<QString> text = decodeStrictUtf8(configToml);
    if (!text)
        return std::nullopt;

    bool inEnv = false;
    CodexProxyEnv proxies;
    for (const QString& rawLine : splitLines(*text)) {
        const QString line = trimmed(rawLine);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inEnv = line == QLatin1String("[env]");
            continue;
        }
        if (!inEnv)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = trimmed(line.left(equals));
        const QString value = unquoted(trimmed(line.mid(equals + 1)), false);
        if (key == QLatin1String("HTTP_PROXY"))
            proxies.httpProxy = value;
        else if (key == QLatin1String("HTTPS_PROXY"))
            proxies.httpsProxy = value;
    }
    return proxies;
}

} // namespace skerrin
