// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace skerrin {

// The fixed addresses of the outside world. Each has one environment variable that replaces it,
// for tests, staging and the demo.
enum class Endpoint {
    platformBase,    // SKERRIN_PLATFORM_BASE_URL
    chatGpt,         // SKERRIN_CHATGPT_URL
    runtimeManifest, // SKERRIN_MANIFEST_URL
};

// The trimmed override when it is set and not blank, else the built-in address.
QString endpointUrl(Endpoint endpoint);

} // namespace skerrin
