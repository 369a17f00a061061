// SPDX-License-Identifier: MIT
#include "app/Launcher.h"

#include "platform/Companions.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace skerrin {

namespace {

// Says which file is missing: a partial install or a build tree missing a target.
int notInstalled(const char* what, const char* name) {
    char self[PATH_MAX];
    std::fprintf(stderr, "skerrin: %s (%s) is not installed with %s\n", what, name,
                 readRunningProgramFile(self, sizeof self) ? self : "skerrin");
    return 1;
}

} // namespace

int execTrayApplication(bool windowed) {
    char tray[PATH_MAX];
    char self[PATH_MAX];
    if (!findCompanionFile("skerrin-tray", tray, sizeof tray))
        return notInstalled("the tray application", "skerrin-tray");
    if (readRunningProgramFile(self, sizeof self))
        ::setenv(kLauncherVariable, self, 1);
    char windowedFlag[] = "--windowed";
    char* const arguments[] = {tray, windowed ? windowedFlag : nullptr, nullptr};
    ::execv(tray, arguments);
    std::fprintf(stderr, "skerrin: cannot start %s: %s\n", tray, std::strerror(errno));
    return 1;
}

int runCommandLine(int argc, char** argv) {
    char module[PATH_MAX];
    if (!findCompanionFile(kCommandLineModule, module, sizeof module))
        return notInstalled("the command line", kCommandLineModule);
    void* loaded = ::dlopen(module, RTLD_LAZY | RTLD_LOCAL);
    void* entry = loaded ? ::dlsym(loaded, kCommandLineEntry) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "skerrin: cannot load %s: %s\n", module, ::dlerror());
        return 1;
    }
    return reinterpret_cast<CommandLineEntry>(entry)(argc, argv);
}

} // namespace skerrin
