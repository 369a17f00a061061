// SPDX-License-Identifier: MIT
// Preloaded into every process measured from launch to its window shown: loads ExitWhenShown into
// a process that has Qt. `skerrin` itself loads only the C library before it becomes the tray
// application; loading Qt Core into it would measure a cost that is not there.
#include <dlfcn.h>

namespace {

__attribute__((constructor)) void watchWhereQtIs() {
    if (::dlopen("libQt6Core.so.6", RTLD_LAZY | RTLD_NOLOAD))
        ::dlopen(EXIT_WHEN_SHOWN, RTLD_NOW);
}

} // namespace
