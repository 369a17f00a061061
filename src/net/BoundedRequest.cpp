// SPDX-License-Identifier: MIT
#include "net/BoundedRequest.h"

#include "net/ReplyHandling.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

#include <memory>

#include <QCoro/QCoroNetworkReply>

namespace skerrin {
namespace {

enum class Abandoned { no, timedOut, tooLarge, redirectElsewhere };

} // namespace

QCoro::Task<FinishedRequest> sendBoundedRequest(QNetworkAccessManager* network, QNetworkRequest request,
                                                HttpMethod method, RequestOptions options) {
    if (options.sameOriginRedirectsOnly)
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::UserVerifiedRedirectPolicy);
    const QUrl origin = request.url();
    OwnedReply reply(method == HttpMethod::head ? network->head(request) : network->get(request));
    QNetworkReply* raw = reply.get();
    // The body is taken out as it arrives, and only up to one byte past the cap; past that Qt stops
    // reading the socket (the buffer is full), so an endless body never holds more than the cap in
    // memory, and the abort is not queued behind a flood of data.
    raw->setReadBufferSize(options.maxBodyBytes + 1);
    QByteArray body;
    Abandoned abandoned = Abandoned::no;
    QObject guard; // every connection below dies with this frame

    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &guard,
                     [raw, &abandoned] { abandonLater(raw, abandoned, Abandoned::timedOut); });
    deadline.start(options.timeout);

    const auto take = [raw, &body, &options] {
        body += raw->read(options.maxBodyBytes + 1 - body.size());
        return body.size() <= options.maxBodyBytes;
    };
    QObject::connect(raw, &QNetworkReply::readyRead, &guard, [&take, raw, &abandoned] {
        if (abandoned == Abandoned::no && !take())
            abandonLater(raw, abandoned, Abandoned::tooLarge);
    });
    if (options.sameOriginRedirectsOnly) {
        QObject::connect(raw, &QNetworkReply::redirected, &guard,
                         [raw, &abandoned, origin](const QUrl& target) {
                             if (sameOrigin(origin, raw->url().resolved(target)))
                                 emit raw->redirectAllowed();
                             else
                                 abandonLater(raw, abandoned, Abandoned::redirectElsewhere);
                         });
    }

    if (!raw->isFinished())
        co_await raw;
    deadline.stop();

    FinishedRequest result;
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        result.status = status.toInt();
    const QNetworkReply::NetworkError error = raw->error();
    switch (abandoned) {
    case Abandoned::timedOut:
        result.errorText = kRequestTimedOutText;
        co_return result;
    case Abandoned::tooLarge:
        result.errorText = QStringLiteral("The response is too large.");
        co_return result;
    case Abandoned::redirectElsewhere:
        result.errorText = QStringLiteral("The server redirected to another origin.");
        co_return result;
    case Abandoned::no:
        break;
    }
    // Qt reports 4xx and 5xx answers as errors too; only failures below HTTP (codes under 100:
    // connection, name, TLS, redirect chain) mean that no answer arrived.
    if (error == QNetworkReply::NoError || (result.status && error >= 100)) {
        result.transportOk = true;
        take();
        result.body = std::move(body);
        if (result.body.size() > options.maxBodyBytes) {
            result.transportOk = false;
            result.body.clear();
            result.errorText = QStringLiteral("The response is too large.");
        }
    } else {
        result.errorText = raw->errorString();
    }
    co_return result;
}

} // namespace skerrin
