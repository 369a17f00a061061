// SPDX-License-Identifier: MIT
#include "support/FakeTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace skerrin::test {

bool writeFile(const QString& path, const QByteArray& content, bool executable) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        return false;
    file.close();
    if (!executable)
        return true;
    return file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

bool writeScript(const QString& path, const QByteArray& body) {
    return writeFile(path, QByteArrayLiteral("#!/bin/bash\n") + body + '\n', true);
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (m_wasSet)
        qputenv(m_name, m_old);
    else
        qunsetenv(m_name);
}

} // namespace skerrin::test
