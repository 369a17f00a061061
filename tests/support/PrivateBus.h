// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace skerrin::test {

// A session bus of the test's own: a dbus-daemon on a socket in a temporary folder, with no services
// but those the test starts (and the activatable ones in `serviceDir`), stopped with the object. As
// the process's session bus (DBUS_SESSION_BUS_ADDRESS) it must come before anything connects to one.
class PrivateBus {
public:
    explicit PrivateBus(const QString& serviceDir = {}, bool asSessionBus = true);
    ~PrivateBus();
    bool isRunning() const { return !m_address.isEmpty(); }
    const QByteArray& address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QByteArray m_address;
};

} // namespace skerrin::test
