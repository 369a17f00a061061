// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace skerrin {

// The model's keys in the user-defaults store.
namespace SettingsKey {
inline const QString runtimeRoot = QStringLiteral("connectorMenuBar.runtimeRoot");
inline const QString runtimeRootBookmark = QStringLiteral("connectorMenuBar.runtimeRootBookmark");
inline const QString language = QStringLiteral("connectorMenuBar.language");
inline const QString codexBin = QStringLiteral("connectorMenuBar.codexBin");
inline const QString codexHome = QStringLiteral("connectorMenuBar.codexHome");
inline const QString keepServiceOnline = QStringLiteral("connectorMenuBar.keepServiceOnline");
inline const QString keepServiceOnlinePaused = QStringLiteral("connectorMenuBar.keepServiceOnlinePaused");
} // namespace SettingsKey

} // namespace skerrin
