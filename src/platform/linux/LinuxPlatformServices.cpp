// SPDX-License-Identifier: MIT
#include "platform/PlatformServices.h"

#include <QCoreApplication>

namespace skerrin {

// Linux: Qt's settings and application facts, XDG autostart, volumes from /sys and QStorageInfo.
PlatformServices makePlatformServices() {
    PlatformServices services;
    services.settings = makeSettingsStore();
    services.loginItem = makeLoginItemService(QCoreApplication::applicationFilePath());
    services.volumes = makeVolumeAccess();
    services.appInfo = makeAppInfo();
    return services;
}

} // namespace skerrin
