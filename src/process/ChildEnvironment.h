// SPDX-License-Identifier: MIT
#pragma once

#include "process/ProcessRunner.h"

#include <QByteArray>

#include <vector>

namespace skerrin {

// A child's environment as NAME=value entries: the application's own, with the additions replacing
// inherited names, and PATH = kFixedSearchPath when neither has one and fillMissingPath is set.
// Inherited entries keep their bytes exactly.
std::vector<QByteArray> childEnvironment(const Environment& additions, bool fillMissingPath);

} // namespace skerrin
