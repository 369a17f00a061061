// SPDX-License-Identifier: MIT
#pragma once

#include "core/Text.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
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
    return std::any_of(text.begin(), text.end(), &isLineBreak);
}

} // namespace skerrin::fuzz
