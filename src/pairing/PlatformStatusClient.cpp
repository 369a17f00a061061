// SPDX-License-Identifier: MIT
#include "pairing/PlatformStatusClient.h"

#include "core/Endpoints.h"
#include "core/Text.h"
#include "runtime/EnvFile.h"

namespace skerrin {
namespace {

bool isHeaderSafe(const QString& token) {
    for (const QChar c : token) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

} // namespace

QString platformBaseURL(const QString& runtimeRoot) {
    const EnvValues env = parseEnvFile(envFilePath(runtimeRoot));
    for (const char* key : {"PLATFORM_BASE_URL", "PLATFORM_API_BASE_URL"}) {
        const QString value = trimmed(env.value(QString::fromLatin1(key)));
        if (!value.isEmpty())
            return value;
    }
    return endpointUrl(Endpoint::platformBase);
}

QCoro::Task<std::optional<DesktopRuntimeStatusResponse>>
fetchDesktopRuntimeStatus(HttpClient* network, QString baseUrl, QString token,
                          std::chrono::milliseconds timeout) {
    // A token with control characters would split the header; such a request is not sent.
    if (token.isEmpty() || baseUrl.isEmpty() || !isHeaderSafe(token))
        co_return std::nullopt;
    const std::optional<QUrl> url = requestUrl(baseUrl + QStringLiteral("/v1/desktop/runtime/status"));
    if (!url)
        co_return std::nullopt;
    HttpRequest request{*url, {{"Authorization", QByteArrayLiteral("Bearer ") + token.toUtf8()}}};
    token.clear();

    RequestOptions options;
    options.timeout = timeout;
    // The token belongs to the first origin; Qt would carry the header along any redirect.
    options.sameOriginRedirectsOnly = true;
    QCoro::Task<FinishedRequest> send = network->send(std::move(request), HttpMethod::get, options);
    const FinishedRequest answer = co_await std::move(send);
    if (!answer.transportOk)
        co_return std::nullopt;
    co_return decodeDesktopRuntimeStatus(answer.body);
}

} // namespace skerrin
