// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace skerrin {

// The application's user-defaults store. A value of the wrong type reads as absent.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<QString> string(const QString& key) const = 0;
    virtual std::optional<QByteArray> data(const QString& key) const = 0;
    virtual void setString(const QString& key, const QString& value) = 0;
    virtual void setData(const QString& key, const QByteArray& value) = 0;
    virtual void remove(const QString& key) = 0;
};

// QSettings in the platform's native place (an INI file under $XDG_CONFIG_HOME on Linux).
std::unique_ptr<SettingsStore> makeSettingsStore();

} // namespace skerrin
