// SPDX-License-Identifier: MIT
#include "model/KeepOnlineSettings.h"

#include "model/SettingsKeys.h"

namespace skerrin {

KeepOnlineSetting readKeepOnlineSetting(SettingsStore& settings) {
    settings.reload();
    return {settings.boolean(SettingsKey::keepServiceOnline).value_or(false),
            settings.boolean(SettingsKey::keepServiceOnlinePaused).value_or(false)};
}

std::optional<Error> saveKeepServiceOnline(SettingsStore& settings, bool enabled) {
    if (auto failed = settings.setBoolean(SettingsKey::keepServiceOnline, enabled))
        return failed;
    return enabled ? saveStoppedByUser(settings, false) : std::nullopt;
}

std::optional<Error> saveStoppedByUser(SettingsStore& settings, bool stopped) {
    if (stopped)
        return settings.setBoolean(SettingsKey::keepServiceOnlinePaused, true);
    // No key at all is the usual state; a start with nothing to lift writes nothing.
    settings.reload();
    if (!settings.boolean(SettingsKey::keepServiceOnlinePaused).has_value())
        return std::nullopt;
    return settings.remove(SettingsKey::keepServiceOnlinePaused);
}

} // namespace skerrin
