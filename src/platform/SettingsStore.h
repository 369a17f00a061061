// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace skerrin {

// The application's user-defaults store. A value of the wrong type reads as absent. Every write
// reaches the disk at once and reports when it could not. Reads come from what was last loaded:
// another process's writes show after reload().
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<QString> string(const QString& key) const = 0;
    virtual std::optional<QByteArray> data(const QString& key) const = 0;
    // Stored as "true" or "false"; any other text is the wrong type.
    virtual std::optional<bool> boolean(const QString& key) const = 0;
    [[nodiscard]] virtual std::optional<Error> setString(const QString& key, const QString& value) = 0;
    [[nodiscard]] virtual std::optional<Error> setData(const QString& key, const QByteArray& value) = 0;
    [[nodiscard]] virtual std::optional<Error> setBoolean(const QString& key, bool value) = 0;
    [[nodiscard]] virtual std::optional<Error> remove(const QString& key) = 0;
    // Reads the values afresh from where they live, for a value another process may have changed.
    virtual void reload() = 0;
    // Where the values live, for messages.
    virtual QString location() const = 0;
};

// An INI file Skerrin/Skerrin.conf under $XDG_CONFIG_HOME. A file that is not a regular one (a FIFO,
// a folder) or is over 1 MiB is not read: the store then starts empty and every write fails.
std::unique_ptr<SettingsStore> makeSettingsStore();

} // namespace skerrin
