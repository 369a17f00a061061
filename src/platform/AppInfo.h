// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace skerrin {

// What the application knows of itself and of the user's language preferences.
class AppInfo {
public:
    virtual ~AppInfo() = default;
    virtual QString shortVersion() const = 0;
    virtual QString buildNumber() const = 0;
    // What an uninstall may remove along with the runtime: the application bundle, or the executable.
    virtual QString bundlePath() const = 0;
    // The user's preferred languages, most preferred first; may be empty.
    virtual QStringList preferredLanguages() const = 0;
};

std::unique_ptr<AppInfo> makeAppInfo(const QString& bundlePath);

} // namespace skerrin
