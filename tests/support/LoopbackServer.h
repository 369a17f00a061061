// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
}

namespace skerrin::test {

struct RecordedRequest {
    QByteArray method;
    QString path;
    QByteArray authorization; // empty when none was sent
};

struct CannedResponse {
    int status = 200;
    QByteArray body{}; // the braces let designated initializers leave it out without a warning
    QList<QPair<QByteArray, QByteArray>> headers{};
    std::chrono::milliseconds delay{0}; // before anything is sent
    static CannedResponse redirect(const QString& location) {
        return {.status = 302, .headers = {{"Location", location.toUtf8()}}};
    }
};

// HTTP on 127.0.0.1 at a free port: canned responses per path to every method, 404 for unknown
// paths. Thread-safe; the destructor cuts delays short.
class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    QString url(const QString& path) const { return baseUrl() + path; }
    void setResponse(const QString& path, CannedResponse response) {
        const std::lock_guard lock(m_mutex);
        m_responses.insert(path, std::move(response));
    }
    QList<RecordedRequest> requests() const {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    std::unique_ptr<httplib::Server> m_server;
    int m_port = -1;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    QMap<QString, CannedResponse> m_responses;
    QList<RecordedRequest> m_requests;
    std::jthread m_thread; // last, so it is joined before anything it uses goes
};

// Accepts TCP connections on 127.0.0.1 and holds them open, sending each `bytes` a byte per interval
// and reading nothing: a peer that never finishes answering. The destructor takes up to an interval.
class StallingServer {
public:
    explicit StallingServer(QByteArray bytes = {},
                            std::chrono::milliseconds interval = std::chrono::milliseconds(50));
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_port) + path;
    }
    int port() const { return m_port; }

private:
    int m_port = -1;
    std::jthread m_thread;
};

// A loopback port that nothing listens on (bound, then closed), for refused connections.
inline int unusedLoopbackPort() {
    return StallingServer({}, std::chrono::milliseconds(1)).port();
}

} // namespace skerrin::test
