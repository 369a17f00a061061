// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

namespace skerrin {

struct ProbeResult {
    bool isReady = false;
    QString detail;

    bool operator==(const ProbeResult&) const = default;
};

// The first of CODEX_HOME, the settings value, ~/.codex and ~/.config/codex that exists and
// holds auth.json, config.toml, sessions or archived_sessions; the expanded path.
std::optional<QString> resolveCodexHome(const std::optional<QString>& envValue,
                                        const std::optional<QString>& defaultValue);

// Runs `<codexBin> login status` and waits for it, 10 seconds at most: blocks the caller.
ProbeResult codexLoginStatus(const QString& codexBin);

// Whether the [env] table of <codexHome>/config.toml sets HTTP_PROXY and HTTPS_PROXY.
ProbeResult codexProxyStatus(const QString& codexHome);

} // namespace skerrin
