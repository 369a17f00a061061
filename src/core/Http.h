// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

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

// A request: where to, and the headers to send besides those the HTTP stack adds by itself.
struct HttpRequest {
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
};

struct TransferProgress {
    qint64 received = 0;
    std::optional<qint64> total; // when the server said

    bool operator==(const TransferProgress&) const = default;
};

struct TransferOptions {
    // A transfer that receives nothing for this long fails with "The request timed out.".
    std::chrono::milliseconds idleLimit{60000};
    // Takes each piece as it arrives; an error text ends the transfer with that text.
    std::function<std::optional<QString>(const QByteArray&)> sink;
    std::function<void(const TransferProgress&)> progress{};
    // Readable once the transfer must stop (a cancel handle's descriptor); -1 for none.
    int stopDescriptor = -1;
};

struct FinishedTransfer {
    bool ok = false; // the whole body arrived, whatever the HTTP status
    bool stopped = false;
    QString errorText; // when !ok
};

// HTTP for the model. The implementation is Qt Network's, in a module of its own, so that a program
// that sends nothing, or not yet, has not loaded it (see ModuleHttpClient.h). Confined to the
// thread that made it.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    // One bounded request; never throws.
    virtual QCoro::Task<FinishedRequest> send(HttpRequest request, HttpMethod method,
                                              RequestOptions options) = 0;
    // A GET whose body goes to the sink as it arrives, so that nothing holds the whole of it; never
    // throws; follows redirects.
    virtual QCoro::Task<FinishedTransfer> streamGet(QUrl url, TransferOptions options) = 0;
};

} // namespace skerrin
