// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"
#include "platform/AppInfo.h"
#include "platform/DesktopNotifier.h"
#include "platform/DesktopServices.h"
#include "platform/FolderChooser.h"
#include "platform/LoginItemService.h"
#include "platform/SettingsStore.h"
#include "platform/TerminalLauncher.h"
#include "platform/VolumeAccess.h"

#include <memory>

namespace skerrin {

// Everything the model asks of the platform, handed to it at construction.
struct PlatformServices {
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<LoginItemService> loginItem;
    std::unique_ptr<VolumeAccess> volumes;
    std::unique_ptr<AppInfo> appInfo;
    std::unique_ptr<DesktopNotifier> notifier;
    std::unique_ptr<HttpClient> http;
    FolderChooser chooseFolder;
    TerminalLauncher openInTerminal;
    Clipboard copyToClipboard;
    UrlOpener openUrl;
};

// The real services of this platform, for the program at `launcher` (this process's own file when
// empty): it is what starts at login and what an uninstall names. The folder chooser, the
// clipboard and the URL opener need a GUI: the tray application adds them.
PlatformServices makePlatformServices(const QString& launcher = {});

} // namespace skerrin
