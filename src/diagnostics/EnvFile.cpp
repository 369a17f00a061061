// SPDX-License-Identifier: MIT
#include "diagnostics/EnvFile.h"

#include "model/Types.h"
#include "runtime/RuntimeLayout.h"

#include <QFile>
#include <QStringDecoder>

namespace skerrin {
namespace {

bool isLineBreak(QChar c) {
    switch (c.unicode()) {
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x85:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

QString unquoted(const QString& value) {
    if (value.size() >= 2) {
        for (const QChar quote : {QLatin1Char('"'), QLatin1Char('\'')}) {
            if (value.front() == quote && value.back() == quote)
                return value.mid(1, value.size() - 2);
        }
    }
    return value;
}

} // namespace

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text.at(i)))
            continue;
        if (i > start)
            lines.append(text.mid(start, i - start));
        start = i + 1; // a CR LF pair leaves an empty piece between, which is dropped
    }
    return lines;
}

EnvValues parseEnvFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return {};

    EnvValues values;
    for (const QString& rawLine : splitLines(text)) {
        const QString line = trimmed(rawLine);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        values.insert(trimmed(line.left(equals)), unquoted(trimmed(line.mid(equals + 1))));
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

} // namespace skerrin
