// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>

namespace skerrin {

// Whether an XDG autostart entry's content leaves it switched on: desktops switch an entry off
// with Hidden=true (or GNOME's X-GNOME-Autostart-enabled=false) rather than deleting it.
bool autostartEntryEnabled(QByteArrayView content);

} // namespace skerrin
