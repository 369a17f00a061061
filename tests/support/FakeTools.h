// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace skerrin::test {

// Writes `content` to `path`, creating parent folders; executable when asked. False on failure.
bool writeFile(const QString& path, const QByteArray& content, bool executable = false);

// A bash script at `path` with the given body after the shebang line.
bool writeScript(const QString& path, const QByteArray& body);

// Sets an environment variable for the lifetime of the object, then restores the old state.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_old;
};

} // namespace skerrin::test
