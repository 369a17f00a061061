// SPDX-License-Identifier: MIT
#pragma once

#include "diagnostics/SetupCheck.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace skerrin {

// The preferred path when it names an executable, otherwise the command found on the search path
// (resolveExecutable).
using ExecutableResolver = std::function<std::optional<QString>(const std::optional<QString>& preferred,
                                                                const QString& fallbackCommand)>;

struct SetupCheckInputs {
    QString runtimeRoot;                     // the effective root
    bool runtimeIsValid = false;             // computed by the caller: the validity test needs the GUI thread
    std::optional<QString> codexBinSetting;  // connectorMenuBar.codexBin
    std::optional<QString> codexHomeSetting; // connectorMenuBar.codexHome
};

// The nine setup rows, English only. Blocks on file reads, lookups and, when asked, the Codex
// login probe; safe on a worker thread as long as `resolve` is.
QList<SetupCheck> buildSetupChecks(const SetupCheckInputs& inputs, bool includeInteractiveCodexChecks,
                                   const ExecutableResolver& resolve);

} // namespace skerrin
