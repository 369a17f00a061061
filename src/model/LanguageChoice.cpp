// SPDX-License-Identifier: MIT
#include "model/LanguageChoice.h"

#include "model/ModelSettings.h"
#include "model/SettingsKeys.h"

namespace skerrin {
namespace {

AppLanguage preferredLanguage(const QStringList& preferred) {
    const QString first = preferred.isEmpty() ? QString() : preferred.constFirst().toLower();
    return first.startsWith(QLatin1String("zh")) ? AppLanguage::chinese : AppLanguage::english;
}

} // namespace

LanguageChoice::LanguageChoice(ModelSettings& settings, const QStringList& preferredLanguages,
                               QObject* parent)
    : Published(parent), m_settings(settings) {
    // Only an exact stored raw value counts.
    const std::optional<QString> stored = settings.string(SettingsKey::language);
    const std::optional<AppLanguage> storedLanguage = stored ? appLanguageFromRaw(*stored) : std::nullopt;
    m_language = storedLanguage.value_or(preferredLanguage(preferredLanguages));
}

void LanguageChoice::setLanguage(AppLanguage language) {
    publish(m_language, language);
    m_settings.setString(SettingsKey::language, rawValue(language));
    emit switched();
}

} // namespace skerrin
