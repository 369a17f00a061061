// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

namespace skerrin::test {

// A session bus of the test's own: a dbus-daemon on a socket in a temporary folder, made the
// session bus of the process (DBUS_SESSION_BUS_ADDRESS) before anything connects to one, and
// stopped with the object.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    bool isRunning() const { return !m_address.isEmpty(); }
    const QByteArray& address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QByteArray m_address;
};

} // namespace skerrin::test
