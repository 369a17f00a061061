// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace skerrin {

// A pending pairing: the setup code and QR image the pairing script left on disk.
struct PairingSessionState {
    QString setupCode;
    std::optional<QDateTime> expiresAt;
    QString qrPath;
};

// What a session file's content says: a trimmed, non-empty setup code and its expiry, when the
// content is a JSON object holding one; an expiry that is not an internet date-time is unknown.
struct PairingSessionFile {
    QString setupCode;
    std::optional<QDateTime> expiresAt;
};
std::optional<PairingSessionFile> decodePairingSession(const QByteArray& bytes);

// The internet date-time form only: 2026-01-31T12:00:00Z or ...+08:00, no fractional seconds.
std::optional<QDateTime> parseInternetDateTime(const QString& text);

// The pending pairing session under `runtimeRoot` as it is on disk at `now`, if complete and unexpired.
std::optional<PairingSessionState> readPairingSession(const QString& runtimeRoot, const QDateTime& now);

} // namespace skerrin
