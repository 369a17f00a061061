// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace skerrin {

inline constexpr qint64 kMiB = 1024 * 1024;

// The whole content of a regular file (links followed) of at most `maxBytes`; nothing for a missing,
// unreadable, special (FIFO, device, folder) or larger file. Never blocks on a FIFO and never reads
// past `maxBytes`, so a link to /dev/zero or an endlessly growing file cannot exhaust memory.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes);

} // namespace skerrin
