// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace skerrin {

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

// GET `url` through `network`, handing the body to the sink as it arrives, so that nothing holds
// the whole of it. Never throws; follows Qt's default redirect policy.
QCoro::Task<FinishedTransfer> streamGet(QNetworkAccessManager* network, QUrl url, TransferOptions options);

} // namespace skerrin
