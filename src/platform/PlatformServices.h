// SPDX-License-Identifier: MIT
#pragma once

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
    FolderChooser chooseFolder;
    TerminalLauncher openInTerminal;
    Clipboard copyToClipboard;
    UrlOpener openUrl;
};

// The real services of this platform; the folder chooser is absent without a GUI.
PlatformServices makePlatformServices();

} // namespace skerrin
