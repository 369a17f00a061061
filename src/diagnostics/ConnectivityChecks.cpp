// SPDX-License-Identifier: MIT
#include "diagnostics/ConnectivityChecks.h"

namespace skerrin {

QString relayHealthUrl(const QString& relayBase) {
    return relayBase.endsWith(QLatin1Char('/')) ? relayBase + QStringLiteral("healthz")
                                                : relayBase + QStringLiteral("/healthz");
}

QCoro::Task<SetupCheck> probeConnectivity(HttpClient* network, QString title, QString urlString,
                                          std::chrono::milliseconds timeout) {
    SetupCheck row{QStringLiteral("connectivity-") + title, title, {}, false};
    const std::optional<QUrl> url = requestUrl(urlString);
    if (!url) {
        row.detail = QStringLiteral("Invalid URL: ") + urlString;
        co_return row;
    }
    RequestOptions options;
    options.timeout = timeout;
    QCoro::Task<FinishedRequest> send = network->send(HttpRequest{*url, {}}, HttpMethod::head, options);
    const FinishedRequest answer = co_await std::move(send);
    // Headers that arrived prove the host reachable, even when the body was then abandoned.
    if (!answer.transportOk && !answer.status) {
        row.detail = answer.errorText;
        co_return row;
    }
    row.isReady = true;
    row.detail = answer.status ? QStringLiteral("Reachable (HTTP %1)").arg(*answer.status)
                               : QStringLiteral("Reachable");
    co_return row;
}

} // namespace skerrin
