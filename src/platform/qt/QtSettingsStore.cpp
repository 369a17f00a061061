// SPDX-License-Identifier: MIT
#include "platform/SettingsStore.h"

#include "core/BoundedFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace skerrin {
namespace {

constexpr qint64 kMaxSettingsFileSize = kMiB;

// Why the file cannot be used at all, before QSettings opens it (it would wait on a FIFO forever).
std::optional<QString> unusableReason(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    if (!info.isFile())
        return QStringLiteral("it is not a regular file");
    if (info.size() > kMaxSettingsFileSize)
        return QStringLiteral("it is larger than 1 MiB");
    return std::nullopt;
}

// QSettings says only that writing failed; trying the way it writes tells why.
QString writeFailureReason(const QString& path) {
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    probe.cancelWriting();
    return QStringLiteral("the file could not be written");
}

class QtSettingsStore final : public SettingsStore {
public:
    explicit QtSettingsStore(QString path) : m_path(std::move(path)), m_unusable(unusableReason(m_path)) {
        if (!m_unusable)
            m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
    }

    std::optional<QString> string(const QString& key) const override {
        const QVariant value = m_settings ? m_settings->value(key) : QVariant();
        if (!value.isValid() || value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value.toString();
    }

    std::optional<QByteArray> data(const QString& key) const override {
        const QVariant value = m_settings ? m_settings->value(key) : QVariant();
        if (!value.isValid() || value.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        return value.toByteArray();
    }

    std::optional<bool> boolean(const QString& key) const override {
        const QVariant value = m_settings ? m_settings->value(key) : QVariant();
        // What this process wrote is still a bool; what was read from the file is its text.
        if (value.typeId() == QMetaType::Bool)
            return value.toBool();
        const QString text = value.typeId() == QMetaType::QString ? value.toString() : QString();
        if (text == u"true" || text == u"false")
            return text == u"true";
        return std::nullopt;
    }

    std::optional<Error> setString(const QString& key, const QString& value) override {
        return write([&] { m_settings->setValue(key, value); });
    }
    std::optional<Error> setData(const QString& key, const QByteArray& value) override {
        return write([&] { m_settings->setValue(key, value); });
    }
    std::optional<Error> setBoolean(const QString& key, bool value) override {
        return write([&] { m_settings->setValue(key, value); });
    }
    std::optional<Error> remove(const QString& key) override {
        return write([&] { m_settings->remove(key); });
    }
    // Every write is already on disk, so syncing only reads the file when another process changed it;
    // a file that has turned into something unreadable since is left alone, as at start-up.
    void reload() override {
        if (m_settings && !unusableReason(m_path))
            m_settings->sync();
    }
    QString location() const override { return m_path; }

private:
    template <typename Change> std::optional<Error> write(Change change) {
        if (m_unusable)
            return error(*m_unusable);
        change();
        // Written at once so a crash or a second process never sees a stale choice.
        m_settings->sync();
        if (m_settings->status() == QSettings::NoError)
            return std::nullopt;
        return error(writeFailureReason(m_path));
    }

    QString m_path;
    std::optional<QString> m_unusable;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace

std::unique_ptr<SettingsStore> makeSettingsStore() {
    return std::make_unique<QtSettingsStore>(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/Skerrin/Skerrin.conf"));
}

} // namespace skerrin
