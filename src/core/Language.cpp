// SPDX-License-Identifier: MIT
#include "core/Language.h"

namespace skerrin {

QString rawValue(AppLanguage language) {
    return language == AppLanguage::chinese ? QStringLiteral("zh-Hans") : QStringLiteral("en");
}

std::optional<AppLanguage> appLanguageFromRaw(const QString& raw) {
    if (raw == QLatin1String("en"))
        return AppLanguage::english;
    if (raw == QLatin1String("zh-Hans"))
        return AppLanguage::chinese;
    return std::nullopt;
}

} // namespace skerrin
