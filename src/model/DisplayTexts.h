// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"

#include <QDateTime>
#include <QString>

namespace skerrin {

// The last 12 non-empty lines of an action's output; the output itself when it has none.
QString lastLinesSummary(const QString& output);

// "in 5 minutes" / "3 hours ago" in the given ICU locale (the system's, not the app's language).
QString relativeTimePhrase(const QDateTime& target, const QDateTime& now, const QString& localeName);

// "Expires in 5 minutes" / "5分钟后过期" from a relative phrase in the system's locale. A Chinese
// phrase of the future already ends in 后; a second one would read 后后.
QString expiresText(AppLanguage language, const QString& relativePhrase);

// "1.2.0 (45)", "1.2.0", "45", or empty when both are blank.
QString versionAndBuild(const QString& shortVersion, const QString& build);

} // namespace skerrin
