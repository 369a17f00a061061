// SPDX-License-Identifier: MIT
#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace skerrin {
namespace {

const QByteArray kShowRequest = "show\n";

} // namespace

SingleInstance::SingleInstance(const QString& appId, QObject* parent) : QObject(parent) {
    // Not /tmp: the runtime folder is the user's own, and gone after a reboot with every stale file.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return;
    m_lockPath = folder + QLatin1Char('/') + appId + QStringLiteral(".lock");
    m_socketPath = folder + QLatin1Char('/') + appId + QStringLiteral(".socket");
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

SingleInstance::~SingleInstance() {
    // The socket goes before the lock, so a later launch never finds the lock free and the socket taken.
    m_server.close();
    m_lock.reset();
}

SingleInstance::Role SingleInstance::start() {
    if (m_lockPath.isEmpty()) {
        std::fputs(
            "skerrin: no runtime folder for the instance lock; a second launch will not find this one\n",
            stderr);
        return Role::primary;
    }
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Stale only when its holder is gone, however old: a long-running instance keeps its lock.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return Role::primary;
    }
    if (m_lock->error() != QLockFile::LockFailedError) {
        std::fprintf(stderr, "skerrin: cannot create %s (%s); a second launch will not find this one\n",
                     qPrintable(m_lockPath),
                     m_lock->error() == QLockFile::PermissionError ? "permission denied" : "unknown error");
        m_lock.reset();
        return Role::primary;
    }
    return handOver() ? Role::handedOver : Role::failed;
}

// Only the holder of the lock gets here, so whatever socket file is left belongs to a crashed
// instance and may go.
void SingleInstance::listen() {
    QLocalServer::removeServer(m_socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_socketPath))
        std::fprintf(stderr, "skerrin: cannot listen on %s: %s; a second launch will not find this one\n",
                     qPrintable(m_socketPath), qPrintable(m_server.errorString()));
}

bool SingleInstance::handOver() {
    // The running instance may have taken the lock without listening yet: retry for a moment.
    const QDeadlineTimer deadline(2000);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(int(deadline.remainingTime())))
            break;
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "skerrin: Skerrin is already running but does not answer on %s: %s\n",
                         qPrintable(m_socketPath), qPrintable(socket.errorString()));
            return false;
        }
        socket.abort();
        QThread::msleep(100);
    }
    socket.write(kShowRequest);
    const bool written = socket.waitForBytesWritten(1000) || socket.bytesToWrite() == 0;
    if (!written)
        std::fprintf(stderr, "skerrin: could not ask the running Skerrin to show its panel: %s\n",
                     qPrintable(socket.errorString()));
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
    return written;
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* client = m_server.nextPendingConnection()) {
        const auto read = [this, client] {
            while (client->canReadLine()) {
                if (client->readLine() == kShowRequest)
                    emit showRequested();
            }
        };
        connect(client, &QLocalSocket::readyRead, this, read);
        connect(client, &QLocalSocket::disconnected, this, [client, read] {
            read(); // what arrived with the hang-up
            client->deleteLater();
        });
        // A client that connects and says nothing is not kept.
        QTimer::singleShot(2000, client, [client] { client->abort(); });
        read();
    }
}

} // namespace skerrin
