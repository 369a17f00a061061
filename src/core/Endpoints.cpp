// SPDX-License-Identifier: MIT
#include "core/Endpoints.h"

#include "core/Text.h"

namespace skerrin {

QString endpointUrl(Endpoint endpoint) {
    struct Fixed {
        const char* variable;
        const char* url;
    };
    static constexpr Fixed table[] = {
        {"SKERRIN_PLATFORM_BASE_URL", "https://platform.brevant.app/api"},
        {"SKERRIN_CHATGPT_URL", "https://chatgpt.com"},
        {"SKERRIN_MANIFEST_URL", "https://platform.brevant.app/brevant/runtime-manifest.json"},
    };
    const Fixed& fixed = table[static_cast<int>(endpoint)];
    const QString overridden = trimmed(qEnvironmentVariable(fixed.variable));
    return overridden.isEmpty() ? QString::fromLatin1(fixed.url) : overridden;
}

} // namespace skerrin
