// SPDX-License-Identifier: MIT
#pragma once

#include "runtime/RuntimeLayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace skerrin::test {

// Writes `content` to `path`, creating parent folders; executable when asked. False on failure.
inline bool writeFile(const QString& path, const QByteArray& content, bool executable = false) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(content) == content.size() &&
           (!executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
}

// The whole file; empty when it cannot be read.
inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The process is gone, or a zombie nobody has reaped yet, within five seconds.
inline bool processEnds(qint64 pid) {
    return pid > 0 && QTest::qWaitFor([pid] {
               const QByteArray status = readFile(QStringLiteral("/proc/%1/status").arg(pid));
               return !status.contains("State:\t") || status.contains("State:\tZ");
           });
}

// A bash script at `path` with the given body after the shebang line.
inline bool writeScript(const QString& path, const QByteArray& body) {
    return writeFile(path, "#!/bin/bash\n" + body + '\n', true);
}

// Sets an environment variable for the lifetime of the object, then restores the old state.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : m_name(name), m_old(qgetenv(name)) {
        m_wasSet = qEnvironmentVariableIsSet(name);
        qputenv(name, value);
    }
    ~ScopedEnv() { m_wasSet ? qputenv(m_name, m_old) : qunsetenv(m_name); }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_wasSet;
};

// A temporary home: HOME and XDG_CONFIG_HOME point into it for the whole test process.
class TemporaryHome {
public:
    TemporaryHome() {
        qputenv("HOME", path().toUtf8());
        qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
        QDir().mkpath(configHome());
    }
    QString path() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    // Removes everything in it, so a case starts with no settings, runtimes or folders.
    void empty() const {
        QDir(path()).removeRecursively();
        QDir().mkpath(configHome());
    }

private:
    QTemporaryDir m_dir;
};

// A Brevant runtime in `root`: the seven required entries, as bash scripts that print what they
// are given.
class TestRuntime {
public:
    explicit TestRuntime(QString root) : m_root(std::move(root)) {
        for (const QString& entry : RuntimeLayout::requiredEntries)
            setScript(entry, "echo \"$0 $*\"");
    }
    const QString& root() const { return m_root; }
    void setScript(const QString& relativePath, const QByteArray& body) const {
        writeScript(runtimePath(m_root, relativePath), body);
    }
    void setEnv(const QByteArray& content) const {
        writeFile(runtimePath(m_root, RuntimeLayout::envFile), content);
    }
    void setPairingSession(const QByteArray& json, bool withQrImage = true) const {
        writeFile(runtimePath(m_root, RuntimeLayout::pairingSessionFile), json);
        const QString qr = runtimePath(m_root, RuntimeLayout::pairingQrImage);
        withQrImage ? writeFile(qr, "\x89PNG\r\n\x1a\n") : QFile::remove(qr);
    }

private:
    QString m_root;
};

} // namespace skerrin::test

// The tests and benchmarks that use these helpers work with skerrin's names in scope.
using namespace skerrin;
using namespace skerrin::test;
