// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace skerrin::fuzz {

// The fuzzer's bytes as the parsers get them in the application: an ordinary, owned byte array.
inline QByteArray input(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A property every input must keep; a broken one is reported as a crash, with the input saved.
inline void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// Whether the text holds any of the line breaks the readers split at.
inline bool hasLineBreak(const QString& text) {
    for (const QChar c : text) {
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
            break;
        }
    }
    return false;
}

} // namespace skerrin::fuzz
