// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace skerrin {

// A leading "~" or "~user" becomes that home folder; HOME decides a bare "~" (the account's
// home when HOME is unset). An unknown user name leaves the text as written.
QString expandTilde(const QString& path);

} // namespace skerrin
