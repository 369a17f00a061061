// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace skerrin {

// The platform's desktop-runtime status body, decoded apart from the request that fetches it.
struct DesktopPairing {
    std::optional<QString> installationId, installationName, platform, workspace, pairedAt, lastSeenAt;

    bool operator==(const DesktopPairing&) const = default;
};

struct AppSession {
    QString id;
    std::optional<QString> productCode, sessionSource, platform, deviceId, deviceName, deviceModel,
        appVersion, appBuild, loginAt, lastSeenAt, revokedAt;

    bool operator==(const AppSession&) const = default;
};

struct DesktopRuntimeStatusResponse {
    bool ok = false; // decoded, never consulted
    std::optional<DesktopPairing> desktopPairing;
    std::optional<AppSession> currentAppSession;

    bool operator==(const DesktopRuntimeStatusResponse&) const = default;
};

// Strict: a required member missing, null or mistyped, or an optional member mistyped, rejects
// the whole body. Missing or null optional members are absent.
std::optional<DesktopRuntimeStatusResponse> decodeDesktopRuntimeStatus(const QByteArray& body);

QString summarizePairing(const std::optional<DesktopPairing>& pairing, AppLanguage language);
QString summarizeAppSession(const std::optional<AppSession>& session, AppLanguage language);

} // namespace skerrin
