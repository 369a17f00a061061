// SPDX-License-Identifier: MIT
#include "platform/Companions.h"

#include <limits.h>

#include <string>

namespace skerrin {

std::filesystem::path runningProgramFile() {
    char self[PATH_MAX];
    return readRunningProgramFile(self, sizeof self) ? std::filesystem::path(self) : std::filesystem::path();
}

std::filesystem::path companionFile(std::string_view name) {
    char found[PATH_MAX];
    const std::string nameText(name);
    return findCompanionFile(nameText.c_str(), found, sizeof found)
               ? std::filesystem::path(found).lexically_normal()
               : std::filesystem::path();
}

} // namespace skerrin
