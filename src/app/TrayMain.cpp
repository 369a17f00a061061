// SPDX-License-Identifier: MIT
#include "app/Launcher.h"
#include "app/TrayApplication.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    const bool windowed = argc == 2 && std::strcmp(argv[1], "--windowed") == 0;
    if (argc > 2 || (argc == 2 && !windowed)) {
        std::fputs("usage: skerrin-tray [--windowed]\n", stderr);
        return 2;
    }
    // Taken out of the environment before any child is started: the runtime's scripts have no
    // use for it.
    const QString launcher = QString::fromLocal8Bit(std::getenv(skerrin::kLauncherVariable));
    ::unsetenv(skerrin::kLauncherVariable);
    return skerrin::runTrayApplication(argc, argv, windowed, launcher);
}
