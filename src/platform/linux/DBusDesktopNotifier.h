// SPDX-License-Identifier: MIT
#pragma once

#include "platform/DesktopNotifier.h"

#include <QDBusConnection>

namespace skerrin {

// How a notification names its sender, so the desktop shows the right icon and groups it with the
// application's other windows and notifications.
struct NotifierIdentity {
    QString appName;
    QString iconName;
    QString desktopEntry; // the entry's file name without ".desktop"
};

// org.freedesktop.Notifications on `bus`.
std::unique_ptr<DesktopNotifier> makeDBusDesktopNotifier(const QDBusConnection& bus,
                                                         NotifierIdentity identity);

} // namespace skerrin
