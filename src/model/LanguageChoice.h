// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"
#include "model/Published.h"

#include <QStringList>

namespace skerrin {

class ModelSettings;

// The display language: the stored choice, else the first preferred language of the system.
class LanguageChoice : public Published {
    Q_OBJECT

public:
    LanguageChoice(ModelSettings& settings, const QStringList& preferredLanguages, QObject* parent = nullptr);

    AppLanguage language() const { return m_language; }
    QString ui(const QString& english, const QString& chinese) const {
        return skerrin::ui(m_language, english, chinese);
    }
    void setLanguage(AppLanguage language);

signals:
    // After a switch; texts chosen earlier keep the language of their moment.
    void switched();

private:
    friend class ModelSeed;

    ModelSettings& m_settings;
    AppLanguage m_language = AppLanguage::english;
};

} // namespace skerrin
