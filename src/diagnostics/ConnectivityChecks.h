// SPDX-License-Identifier: MIT
#pragma once

#include "diagnostics/SetupCheck.h"

#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>

class QNetworkAccessManager;

namespace skerrin {

// base + "healthz", adding the slash only when base lacks it.
QString relayHealthUrl(const QString& relayBase);

// One HEAD request; any HTTP answer is reachable. Row id "connectivity-" + title, English only.
QCoro::Task<SetupCheck> probeConnectivity(QNetworkAccessManager* network, QString title, QString urlString,
                                          std::chrono::milliseconds timeout = std::chrono::seconds(8));

} // namespace skerrin
