// SPDX-License-Identifier: MIT
#pragma once

#include "runtime/EnvFile.h"

#include <QString>

#include <optional>

namespace skerrin {

// The Codex path to prefer: CODEX_BIN of the runtime's .env whenever the key is there, even
// empty, otherwise the connectorMenuBar.codexBin setting.
std::optional<QString> preferredCodexPath(const EnvValues& env, const std::optional<QString>& setting);

// `value` for a POSIX shell: in single quotes, each single quote inside written as '\''.
QString shellQuoted(const QString& value);

// cd 'ROOT' && CONFIG_ENV_FILE='ENV' 'CODEX' login --device-auth: the device login, run in the
// runtime with its environment file named for Codex alone.
QString codexLoginCommand(const QString& root, const QString& envFile, const QString& codex);

// The login command for the runtime at `root`, with Codex found as the setup checks find it, or
// the bare word codex. Blocks on the lookup.
QString codexLoginCommandFor(const QString& root, const std::optional<QString>& codexBinSetting);

} // namespace skerrin
