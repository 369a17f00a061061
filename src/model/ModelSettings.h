// SPDX-License-Identifier: MIT
#pragma once

#include "platform/SettingsStore.h"

#include <QObject>

#include <optional>

namespace skerrin {

// The model's one way to the user-defaults store: every write that does not reach the disk is
// remembered and told, so a choice never vanishes silently at the next start.
class ModelSettings : public QObject {
    Q_OBJECT

public:
    explicit ModelSettings(SettingsStore& store, QObject* parent = nullptr)
        : QObject(parent), m_store(store) {}

    std::optional<QString> string(const QString& key) const { return m_store.string(key); }
    std::optional<QByteArray> data(const QString& key) const { return m_store.data(key); }
    void setString(const QString& key, const QString& value) { report(m_store.setString(key, value)); }
    void setData(const QString& key, const QByteArray& value) { report(m_store.setData(key, value)); }
    void remove(const QString& key) { report(m_store.remove(key)); }
    // For writes made by helpers that take the store itself; their failures are told the same way.
    SettingsStore& store() { return m_store; }
    void report(std::optional<Error> failure);

    // Why the last write failed, if one did; and where the settings live.
    const std::optional<QString>& saveFailure() const { return m_saveFailure; }
    QString location() const { return m_store.location(); }

signals:
    void writeFailed(const QString& description);

private:
    SettingsStore& m_store;
    std::optional<QString> m_saveFailure;
};

} // namespace skerrin
