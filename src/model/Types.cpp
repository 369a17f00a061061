// SPDX-License-Identifier: MIT
#include "model/Types.h"

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

Error error(const QString& message) {
    return Error{kErrorDomain, 1, message};
}

QString trimmed(const QString& text) {
    // QString::trimmed covers ASCII and Unicode spaces plus \t \n \v \f \r, U+0085, U+2028, U+2029.
    return text.trimmed();
}

} // namespace skerrin
