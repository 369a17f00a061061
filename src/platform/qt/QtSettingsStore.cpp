// SPDX-License-Identifier: MIT
#include "platform/SettingsStore.h"

#include <QSettings>

namespace skerrin {
namespace {

class QtSettingsStore final : public SettingsStore {
public:
    std::optional<QString> string(const QString& key) const override {
        const QVariant value = m_settings.value(key);
        if (!value.isValid() || value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value.toString();
    }

    std::optional<QByteArray> data(const QString& key) const override {
        const QVariant value = m_settings.value(key);
        if (!value.isValid() || value.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        return value.toByteArray();
    }

    void setString(const QString& key, const QString& value) override { store(key, value); }
    void setData(const QString& key, const QByteArray& value) override { store(key, value); }

    void remove(const QString& key) override {
        m_settings.remove(key);
        m_settings.sync();
    }

private:
    void store(const QString& key, const QVariant& value) {
        m_settings.setValue(key, value);
        // Written at once so a crash or a second process never sees a stale choice.
        m_settings.sync();
    }

    mutable QSettings m_settings{QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Skerrin"),
                                 QStringLiteral("Skerrin")};
};

} // namespace

std::unique_ptr<SettingsStore> makeSettingsStore() {
    return std::make_unique<QtSettingsStore>();
}

} // namespace skerrin
