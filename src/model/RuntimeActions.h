// SPDX-License-Identifier: MIT
#pragma once

#include "model/ActionRunner.h"

namespace skerrin {

class RuntimeLocation;

using RootOperation = std::function<QCoro::Task<Result<QString>>(QString root, CancelHandle cancel)>;

// An action on the chosen runtime (start, stop, unpair): refused unless that root is valid.
// `script`, when given, is the runtime script the operation runs (relative to the root).
Action rootAction(const RuntimeLocation& location, QString successMessage, QString fallbackMessage,
                  RootOperation operation, const QString& script = {});

// An agent action (pairing, setup, doctor) on the effective runtime: refused when not even the
// standard root holds one; shows what it runs meanwhile, and a person may cancel it.
Action agentAction(const RuntimeLocation& location, QString successMessage, QString fallbackMessage,
                   QString commandDescription, RootOperation operation, const QString& script = {});

} // namespace skerrin
