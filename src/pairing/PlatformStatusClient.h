// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"

#include <QByteArray>
#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

class QNetworkAccessManager;

namespace skerrin {

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

// PLATFORM_BASE_URL, else PLATFORM_API_BASE_URL of the runtime's .env (trimmed, non-empty),
// else the default. Never empty; a trailing slash is kept.
QString platformBaseURL(const QString& runtimeRoot);

QString summarizePairing(const std::optional<DesktopPairing>& pairing, AppLanguage language);
QString summarizeAppSession(const std::optional<AppSession>& session, AppLanguage language);

// GET base + "/v1/desktop/runtime/status" with the bearer token; the status code is never
// examined. Nothing on an invalid URL, a transport failure, the time-out, an oversized or
// undecodable body, or a redirect to another origin (the token stays with the first origin).
QCoro::Task<std::optional<DesktopRuntimeStatusResponse>>
fetchDesktopRuntimeStatus(QNetworkAccessManager* network, QString baseUrl, QString token,
                          std::chrono::milliseconds timeout = std::chrono::seconds(8));

} // namespace skerrin
