// SPDX-License-Identifier: MIT
#include "support/TestRuntime.h"

#include "runtime/RuntimeLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

namespace skerrin::test {

TemporaryHome::TemporaryHome() {
    qputenv("HOME", m_dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
    QDir().mkpath(configHome());
}

void TemporaryHome::clearSettings() const {
    QDir(configHome() + QStringLiteral("/Skerrin")).removeRecursively();
}

TestRuntime::TestRuntime(QString root) : m_root(std::move(root)) {
    for (const QString& entry : RuntimeLayout::requiredEntries)
        writeFile(runtimePath(m_root, entry), "#!/bin/bash\necho \"$0 $*\"\n", true);
}

void TestRuntime::setScript(const QString& relativePath, const QByteArray& body) const {
    writeFile(runtimePath(m_root, relativePath), "#!/bin/bash\n" + body, true);
}

void TestRuntime::setEnv(const QByteArray& content) const {
    writeFile(runtimePath(m_root, RuntimeLayout::envFile), content);
}

void TestRuntime::setPairingSession(const QByteArray& json, bool withQrImage) const {
    writeFile(runtimePath(m_root, RuntimeLayout::pairingSessionFile), json);
    const QString qr = runtimePath(m_root, RuntimeLayout::pairingQrImage);
    if (withQrImage)
        writeFile(qr, "\x89PNG\r\n\x1a\n");
    else
        QFile::remove(qr);
}

void TestRuntime::remove(const QString& relativePath) const {
    const QString path = runtimePath(m_root, relativePath);
    if (QFileInfo(path).isDir())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

} // namespace skerrin::test
