// SPDX-License-Identifier: MIT
#include "core/Text.h"

#include <QStringDecoder>

namespace skerrin {

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

namespace {

bool enclosedBy(const QString& value, QChar quote) {
    return value.size() >= 2 && value.front() == quote && value.back() == quote;
}

} // namespace

QString trimmed(const QString& text) {
    // QString::trimmed covers ASCII and Unicode spaces plus \t \n \v \f \r, U+0085, U+2028, U+2029.
    return text.trimmed();
}

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

QChar* appendStrictUtf8(QChar* out, QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QChar* end = decoder.appendToBuffer(out, bytes);
    return decoder.hasError() ? out : end;
}

std::optional<QString> decodeStrictUtf8(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* begin = text.data();
    QChar* end = appendStrictUtf8(begin, bytes);
    if (end == begin && !bytes.isEmpty()) {
        // Only a lone byte-order mark decodes to nothing and is still valid.
        if (bytes != QByteArrayView("\xEF\xBB\xBF"))
            return std::nullopt;
    }
    text.truncate(end - begin);
    return text;
}

QString unquoted(const QString& value, bool singleQuotesToo) {
    if (enclosedBy(value, QLatin1Char('"')) || (singleQuotesToo && enclosedBy(value, QLatin1Char('\''))))
        return value.mid(1, value.size() - 2);
    return value;
}

} // namespace skerrin
