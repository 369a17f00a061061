// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"

#include <QNetworkRequest>

class QNetworkAccessManager;

namespace skerrin {

// One request through `network`; never throws. Only the headers already on `request` and
// those Qt adds by itself are sent.
QCoro::Task<FinishedRequest> sendBoundedRequest(QNetworkAccessManager* network, QNetworkRequest request,
                                                HttpMethod method, RequestOptions options);

} // namespace skerrin
