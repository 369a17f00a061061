// SPDX-License-Identifier: MIT
#include "net/StreamingTransfer.h"

#include "net/BoundedRequest.h"
#include "net/ReplyHandling.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

#include <QCoro/QCoroNetworkReply>

namespace skerrin {
namespace {

// Qt stops reading the socket while this much is waiting for us, so memory stays flat however
// large the body.
constexpr qint64 kReadBuffer = 256 * 1024;

enum class Ended { no, idle, stopped, sinkFailed };

} // namespace

QCoro::Task<FinishedTransfer> streamGet(QNetworkAccessManager* network, QUrl url, TransferOptions options) {
    QNetworkRequest request(url);
    OwnedReply reply(network->get(request));
    QNetworkReply* raw = reply.get();
    raw->setReadBufferSize(kReadBuffer);
    Ended ended = Ended::no;
    QString sinkError;
    TransferProgress progress;
    QObject guard; // every connection below dies with this frame

    const auto end = [raw, &ended](Ended why) { abandonLater(raw, ended, why); };

    QTimer idle;
    idle.setSingleShot(true);
    QObject::connect(&idle, &QTimer::timeout, &guard, [&end] { end(Ended::idle); });
    idle.start(options.idleLimit);

    const auto drain = [&] {
        while (ended == Ended::no && raw->bytesAvailable() > 0) {
            const QByteArray piece = raw->read(kReadBuffer);
            if (piece.isEmpty())
                break;
            progress.received += piece.size();
            if (std::optional<QString> failure = options.sink(piece)) {
                sinkError = *failure;
                end(Ended::sinkFailed);
            }
        }
        const QVariant length = raw->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid())
            progress.total = length.toLongLong();
        if (options.progress && ended == Ended::no)
            options.progress(progress);
    };
    QObject::connect(raw, &QNetworkReply::readyRead, &guard, [&] {
        idle.start(options.idleLimit);
        drain();
    });
    // Headers and redirects are activity too.
    QObject::connect(raw, &QNetworkReply::metaDataChanged, &guard, [&] { idle.start(options.idleLimit); });

    std::optional<QSocketNotifier> stop;
    if (options.stopDescriptor >= 0) {
        stop.emplace(options.stopDescriptor, QSocketNotifier::Read);
        QObject::connect(&*stop, &QSocketNotifier::activated, &guard, [&] {
            stop->setEnabled(false); // the descriptor stays readable
            end(Ended::stopped);
        });
    }

    if (!raw->isFinished())
        co_await raw;
    idle.stop();
    if (stop)
        stop->setEnabled(false);
    if (ended == Ended::no)
        drain();

    FinishedTransfer result;
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = raw->error();
    switch (ended) {
    case Ended::idle:
        result.errorText = kRequestTimedOutText;
        co_return result;
    case Ended::stopped:
        result.stopped = true;
        result.errorText = QStringLiteral("Cancelled.");
        co_return result;
    case Ended::sinkFailed:
        result.errorText = sinkError;
        co_return result;
    case Ended::no:
        break;
    }
    // Qt reports 4xx and 5xx answers as errors too; only failures below HTTP mean no answer arrived.
    if (error == QNetworkReply::NoError || (status.isValid() && error >= 100))
        result.ok = true;
    else
        result.errorText = raw->errorString();
    co_return result;
}

} // namespace skerrin
