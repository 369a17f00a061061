// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"

class QNetworkAccessManager;

namespace skerrin {

// GET `url` through `network`, handing the body to the sink as it arrives, so that nothing holds
// the whole of it. Never throws; follows Qt's default redirect policy.
QCoro::Task<FinishedTransfer> streamGet(QNetworkAccessManager* network, QUrl url, TransferOptions options);

} // namespace skerrin
