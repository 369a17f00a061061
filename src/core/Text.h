// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace skerrin {

// Trims white space and line breaks at both ends, never inside.
QString trimmed(const QString& text);

// Splits at every line break (LF, CR, CRLF, VT, FF, U+0085, U+2028, U+2029), dropping empty pieces.
QStringList splitLines(const QString& text);

// The line breaks splitLines splits at: LF, VT, FF, CR, NEL, LS and PS.
bool isLineBreak(QChar c);

// Strict UTF-8: nothing when any byte sequence is invalid. A leading byte-order mark is dropped,
// as an editor that writes one means it as a marker, not as text.
std::optional<QString> decodeStrictUtf8(QByteArrayView bytes);

// The same decoding into a buffer of at least bytes.size() code units at `out`; returns the end of
// what was written, or `out` itself when the bytes are not valid. Lets large output be decoded
// without holding a second copy.
QChar* appendStrictUtf8(QChar* out, QByteArrayView bytes);

// The value without one enclosing pair of double quotes (and of single quotes when asked).
QString unquoted(const QString& value, bool singleQuotesToo);

} // namespace skerrin
