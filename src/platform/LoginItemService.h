// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"

#include <memory>

namespace skerrin {

enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

// Whether the application opens at login.
class LoginItemService {
public:
    virtual ~LoginItemService() = default;
    virtual LoginItemStatus status() const = 0;
    virtual std::optional<Error> registerItem() = 0;
    virtual std::optional<Error> unregisterItem() = 0;
};

// Linux: an XDG autostart entry for `executablePath`.
std::unique_ptr<LoginItemService> makeLoginItemService(const QString& executablePath);

} // namespace skerrin
