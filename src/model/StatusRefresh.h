// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"

namespace skerrin {

// Whether the status script's output says the desktop service runs.
bool connectorIsRunning(const QString& statusOutput);

// The one-line detail under the status summary.
QString summarizeConnectorStatus(const QString& diagnostics, const QString& runtimeRoot, bool isRunning,
                                 AppLanguage language);

} // namespace skerrin
