// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"

#include <memory>

namespace skerrin {

// HTTP through Qt Network, one access manager for the client's life. Built into
// skerrin-network.so, whose entry point makes one (see ModuleHttpClient.h).
std::unique_ptr<HttpClient> makeQtHttpClient();

} // namespace skerrin
