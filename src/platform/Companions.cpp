// SPDX-License-Identifier: MIT
#include "platform/Companions.h"

#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace skerrin {

bool readRunningProgramFile(char* path, std::size_t size) {
    if (size == 0)
        return false;
    const ssize_t length = ::readlink("/proc/self/exe", path, size);
    if (length <= 0 || std::size_t(length) >= size)
        return false;
    path[length] = '\0';
    return true;
}

bool findCompanionFile(const char* name, char* path, std::size_t size) {
    char self[PATH_MAX];
    if (!readRunningProgramFile(self, sizeof self))
        return false;
    char* slash = std::strrchr(self, '/');
    if (!slash)
        return false;
    *slash = '\0';
    for (const char* between : {"", SKERRIN_COMPANIONS_FROM_BINDIR "/"}) {
        const int length = std::snprintf(path, size, "%s/%s%s", self, between, name);
        if (length > 0 && std::size_t(length) < size && ::access(path, R_OK) == 0)
            return true;
    }
    return false;
}

} // namespace skerrin
