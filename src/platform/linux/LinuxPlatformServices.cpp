// SPDX-License-Identifier: MIT
#include "platform/PlatformServices.h"

#include "platform/Companions.h"
#include "platform/ModuleHttpClient.h"

namespace skerrin {
namespace {

// The file that starts Skerrin: an AppImage runs from a temporary mount, so it is the image
// itself that must start at login, and that an uninstall names.
QString runningExecutable(const QString& launcher) {
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    if (!appImage.isEmpty())
        return appImage;
    return launcher.isEmpty() ? QString::fromStdString(runningProgramFile().string()) : launcher;
}

} // namespace

// Linux: Qt's settings, application facts, XDG autostart, volumes from /sys and QStorageInfo, the
// first terminal emulator found, notifications over D-Bus, HTTP through Qt Network.
PlatformServices makePlatformServices(const QString& launcher) {
    PlatformServices services;
    services.settings = makeSettingsStore();
    services.loginItem = makeLoginItemService(runningExecutable(launcher));
    services.volumes = makeVolumeAccess();
    services.appInfo = makeAppInfo(runningExecutable(launcher));
    services.notifier = makeDesktopNotifier();
    services.http =
        makeModuleHttpClient(QString::fromStdString(companionFile("skerrin-network.so").string()));
    services.openInTerminal = makeTerminalLauncher();
    return services;
}

} // namespace skerrin
