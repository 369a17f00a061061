// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"
#include "diagnostics/SetupCheck.h"

#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>

namespace skerrin {

// base + "healthz", adding the slash only when base lacks it.
QString relayHealthUrl(const QString& relayBase);

// One HEAD request; any HTTP answer is reachable. Row id "connectivity-" + title, English only.
QCoro::Task<SetupCheck> probeConnectivity(HttpClient* network, QString title, QString urlString,
                                          std::chrono::milliseconds timeout = std::chrono::seconds(8));

} // namespace skerrin
