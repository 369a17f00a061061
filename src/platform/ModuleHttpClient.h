// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"

#include <QString>

#include <memory>

namespace skerrin {

// Qt Network and what it loads (Kerberos, libproxy) take longer to load than the tray takes to
// show its panel's first text, so HTTP lives in a module, loaded from `modulePath` when the first
// request is sent. Without the module every request fails, saying so, and standard error says
// why, once.
std::unique_ptr<HttpClient> makeModuleHttpClient(const QString& modulePath);

} // namespace skerrin
