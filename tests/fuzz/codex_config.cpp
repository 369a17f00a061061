// SPDX-License-Identifier: MIT
// Codex's config.toml, read for the proxy settings in its [env] table.
#include "FuzzInput.h"

#include "core/Text.h"
#include "diagnostics/CodexConfig.h"

using namespace skerrin;
using namespace skerrin::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = input(data, size);
    const std::optional<CodexProxyEnv> proxies = readCodexProxyEnv(bytes);
    require(proxies.has_value() == decodeStrictUtf8(bytes).has_value(), "any UTF-8 content is read");
    if (!proxies)
        return 0;
    require(!hasLineBreak(proxies->httpProxy) && !hasLineBreak(proxies->httpsProxy),
            "a value stays on its line");
    // Whatever came before, an [env] table at the end decides.
    const std::optional<CodexProxyEnv> after =
        readCodexProxyEnv(bytes + "\n[env]\nHTTP_PROXY = \"http://p:1\"\nHTTPS_PROXY = \"http://p:2\"\n");
    require(after == CodexProxyEnv{QStringLiteral("http://p:1"), QStringLiteral("http://p:2")},
            "a closing [env] table sets both proxies");
    return 0;
}
