// SPDX-License-Identifier: MIT
#include "platform/PlatformServices.h"

#include <QCoreApplication>

namespace skerrin {

PlatformServices makePlatformServices() {
    PlatformServices services;
    services.settings = makeSettingsStore();
    services.loginItem = makeLoginItemService(QCoreApplication::applicationFilePath());
    services.volumes = makeVolumeAccess();
    services.appInfo = makeAppInfo();
    return services;
}

} // namespace skerrin
