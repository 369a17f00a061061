// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

namespace skerrin {

enum class AppLanguage { english, chinese };

// Raw values are what the settings store holds; only the two exact strings decode.
QString rawValue(AppLanguage language);
std::optional<AppLanguage> appLanguageFromRaw(const QString& raw);

// The one way a text is chosen by language: every user-visible text is written as a pair.
inline QString ui(AppLanguage language, const QString& english, const QString& chinese) {
    return language == AppLanguage::chinese ? chinese : english;
}

} // namespace skerrin
