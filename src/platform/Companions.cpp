// SPDX-License-Identifier: MIT
#include "platform/Companions.h"

#include <unistd.h>

#include <system_error>

namespace skerrin {

std::filesystem::path runningProgramFile() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

std::filesystem::path companionFile(std::string_view name) {
    const std::filesystem::path folder = runningProgramFile().parent_path();
    if (folder.empty())
        return {};
    for (const std::filesystem::path& candidate :
         {folder / name, folder / SKERRIN_COMPANIONS_FROM_BINDIR / name}) {
        if (::access(candidate.c_str(), R_OK) == 0)
            return candidate.lexically_normal();
    }
    return {};
}

} // namespace skerrin
