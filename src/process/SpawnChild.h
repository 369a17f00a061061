// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"
#include "process/DrainAndWait.h"
#include "process/ProcessRunner.h"

#include <variant>

namespace skerrin {

// Starts the ProcessSpec's executable (never searched for, argv[0] its path) as the leader of a process
// group of its own, reading /dev/null, with both output streams on pipes; registers the run for
// its limit and cancel handle and waits for it. The platform's error when it cannot be started.
std::variant<FinishedChild, Error> spawnAndWait(const ProcessSpec& spec);

} // namespace skerrin
