// SPDX-License-Identifier: MIT
#pragma once

#include <QLockFile>
#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace skerrin {

// One application per user: a lock file and a Unix socket, both in the user's runtime folder and
// named after the application id. The first instance holds the lock and listens; a later one finds
// the lock held and asks the first, through the socket, to show its panel. The socket is the
// system's own: Qt's local socket would load Qt Network before the panel is up.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Role {
        primary,    // this is the one instance (or the lock could not be had: said on standard error)
        handedOver, // the running instance was asked to show its panel
        failed,     // an instance holds the lock but did not take the request (said on standard error)
    };

    explicit SingleInstance(const QString& appId, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Every wait is bounded: it returns within about two seconds.
    Role start();

signals:
    // Another launch asked for the panel.
    void showRequested();

private:
    void listen();
    bool handOver();
    void acceptConnections();
    void closeListener();

    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QSocketNotifier> m_listener;
};

} // namespace skerrin
