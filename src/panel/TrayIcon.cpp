// SPDX-License-Identifier: MIT
#include "panel/TrayIcon.h"

namespace skerrin {

TrayIcon::~TrayIcon() = default;

} // namespace skerrin
