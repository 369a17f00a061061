// SPDX-License-Identifier: MIT
#include "app/Launcher.h"

#include <cstring>

int main(int argc, char** argv) {
    if (argc == 1 || (argc == 2 && std::strcmp(argv[1], "--windowed") == 0))
        return skerrin::execTrayApplication(argc == 2);
    return skerrin::runCommandLine(argc, argv);
}
