// SPDX-License-Identifier: MIT
#include "platform/PlatformServices.h"

#include <QCoreApplication>

namespace skerrin {
namespace {

// The file that started Skerrin: an AppImage runs from a temporary mount, so it is the image
// itself that must start at login, and that an uninstall names.
QString runningExecutable() {
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    return appImage.isEmpty() ? QCoreApplication::applicationFilePath() : appImage;
}

} // namespace

// Linux: Qt's settings, application facts, clipboard and desktop services, XDG autostart, volumes
// from /sys and QStorageInfo, the first terminal emulator found, notifications over D-Bus.
PlatformServices makePlatformServices() {
    PlatformServices services;
    services.settings = makeSettingsStore();
    services.loginItem = makeLoginItemService(runningExecutable());
    services.volumes = makeVolumeAccess();
    services.appInfo = makeAppInfo(runningExecutable());
    services.notifier = makeDesktopNotifier();
    services.openInTerminal = makeTerminalLauncher();
    services.copyToClipboard = makeClipboard();
    services.openUrl = makeUrlOpener();
    return services;
}

} // namespace skerrin
