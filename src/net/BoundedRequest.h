// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroNetworkReply>
#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

class QNetworkAccessManager;

namespace skerrin {

// An absolute URL with a scheme and a host, or nothing: what a request can be sent to.
std::optional<QUrl> requestUrl(const QString& text);

// Same scheme, host and port (default ports filled in).
bool sameOrigin(const QUrl& a, const QUrl& b);

inline const QString kRequestTimedOutText = QStringLiteral("The request timed out.");

enum class HttpMethod { head, get };

struct RequestOptions {
    std::chrono::milliseconds timeout{8000}; // bounds the whole exchange, not only silence
    qint64 maxBodyBytes = 4 * 1024 * 1024;   // beyond this the reply is abandoned
    bool sameOriginRedirectsOnly = false;    // a redirect elsewhere ends the request as failed
};

struct FinishedRequest {
    bool transportOk = false;  // an HTTP answer arrived, whatever its status
    std::optional<int> status; // of the final response
    QByteArray body;
    QString errorText; // when !transportOk
};

// One request through `network`; never throws. Only the headers already on `request` and
// those Qt adds by itself are sent.
QCoro::Task<FinishedRequest> sendBoundedRequest(QNetworkAccessManager* network, QNetworkRequest request,
                                                HttpMethod method, RequestOptions options);

} // namespace skerrin
