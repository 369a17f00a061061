// SPDX-License-Identifier: MIT
#pragma once

#include "support/FakeTools.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace skerrin::test {

// A temporary home: HOME and XDG_CONFIG_HOME point into it for the whole test process.
class TemporaryHome {
public:
    TemporaryHome();
    QString path() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    // Removes the settings file, so each case starts with an empty store.
    void clearSettings() const;

private:
    QTemporaryDir m_dir;
};

// A Brevant runtime in `root`: the seven required entries, with bash scripts that print what
// they are given. Scripts can be replaced with setScript().
class TestRuntime {
public:
    explicit TestRuntime(QString root);
    const QString& root() const { return m_root; }
    void setScript(const QString& relativePath, const QByteArray& body) const;
    void setEnv(const QByteArray& content) const;
    void setPairingSession(const QByteArray& json, bool withQrImage = true) const;
    void remove(const QString& relativePath) const;

private:
    QString m_root;
};

} // namespace skerrin::test
