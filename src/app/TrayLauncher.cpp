// SPDX-License-Identifier: MIT
#include "app/TrayLauncher.h"

#include "platform/Companions.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace skerrin {

int execTrayApplication(bool windowed) {
    const std::filesystem::path self = runningProgramFile();
    std::string tray = companionFile("skerrin-tray").string();
    if (tray.empty()) {
        std::fprintf(stderr, "skerrin: the tray application (skerrin-tray) is not installed with %s\n",
                     self.empty() ? "skerrin" : self.c_str());
        return 1;
    }
    ::setenv(kLauncherVariable, self.c_str(), 1);
    char windowedFlag[] = "--windowed";
    char* const arguments[] = {tray.data(), windowed ? windowedFlag : nullptr, nullptr};
    ::execv(tray.c_str(), arguments);
    std::fprintf(stderr, "skerrin: cannot start %s: %s\n", tray.c_str(), std::strerror(errno));
    return 1;
}

} // namespace skerrin
