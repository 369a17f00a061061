// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"
#include "pairing/PlatformStatus.h"

#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

namespace skerrin {

// PLATFORM_BASE_URL, else PLATFORM_API_BASE_URL of the runtime's .env (trimmed, non-empty),
// else the default. Never empty; a trailing slash is kept.
QString platformBaseURL(const QString& runtimeRoot);

// GET base + "/v1/desktop/runtime/status" with the bearer token; the status code is never
// examined. Nothing on an invalid URL, a transport failure, the time-out, an oversized or
// undecodable body, or a redirect to another origin (the token stays with the first origin).
QCoro::Task<std::optional<DesktopRuntimeStatusResponse>>
fetchDesktopRuntimeStatus(HttpClient* network, QString baseUrl, QString token,
                          std::chrono::milliseconds timeout = std::chrono::seconds(8));

} // namespace skerrin
