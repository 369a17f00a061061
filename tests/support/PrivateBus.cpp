// SPDX-License-Identifier: MIT
#include "support/PrivateBus.h"

#include <QFile>

#include <csignal>
#include <sys/prctl.h>

namespace skerrin::test {

PrivateBus::PrivateBus(const QString& serviceDir, bool asSessionBus) {
    const QString config = m_dir.filePath(QStringLiteral("session.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(
        R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=)" +
        m_dir.path().toUtf8() + R"(</listen>
  <auth>EXTERNAL</auth>)" +
        (serviceDir.isEmpty() ? QByteArray() : "<servicedir>" + serviceDir.toUtf8() + "</servicedir>") + R"(
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
    file.close();
    // A test that crashes takes its bus with it.
    m_daemon.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    m_address = m_daemon.readLine().trimmed();
    if (asSessionBus && !m_address.isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
}

PrivateBus::~PrivateBus() {
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000))
        m_daemon.kill();
    m_daemon.waitForFinished(5000);
}

} // namespace skerrin::test
