// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace skerrin {

// The proxy settings of Codex's config.toml: HTTP_PROXY and HTTPS_PROXY in its [env] table.
struct CodexProxyEnv {
    QString httpProxy;
    QString httpsProxy;

    bool operator==(const CodexProxyEnv&) const = default;
};

// Read line by line, as much of TOML as the two keys need: `[env]` headers (the table may come
// back later), KEY = value lines, one pair of double quotes dropped; a key set twice keeps the
// last value. Nothing when the content is not strict UTF-8.
std::optional<CodexProxyEnv> readCodexProxyEnv(QByteArrayView configToml);

} // namespace skerrin
