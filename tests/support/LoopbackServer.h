// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QStringList>
#include <QTcpServer>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
}

namespace skerrin::test {

struct CannedResponse {
    int status = 200;
    QByteArray body{};     // the braces let designated initializers leave it out without a warning
    QByteArray location{}; // sent as the Location header when set
    std::chrono::milliseconds delay{0};   // before anything is sent
    std::chrono::milliseconds trickle{0}; // > 0: a chunked body, one byte each time
    bool endless = false;                 // a chunked body of `body` repeated as fast as it is read
    static CannedResponse redirect(const QString& location) {
        return {.status = 302, .location = location.toUtf8()};
    }
};

// HTTP on 127.0.0.1 at a free port: canned responses per path (HEAD gets the headers only), 404 for
// unknown paths. Thread-safe; the destructor cuts delays and trickles short.
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
    // Forgets the requests seen so far, so that a long run's log does not grow without end.
    void clearRequests() {
        const std::lock_guard lock(m_mutex);
        m_requests.clear();
    }
    // Each request received: "<method> <path>", then " <Authorization header>" when one was sent.
    QStringList requests() const {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    std::unique_ptr<httplib::Server> m_server;
    int m_port = -1;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    QMap<QString, CannedResponse> m_responses;
    QStringList m_requests;
    std::jthread m_thread; // last, so it is joined before anything it uses goes
};

// A loopback port that nothing listens on (bound, then closed), for refused connections.
inline int unusedLoopbackPort() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
}

} // namespace skerrin::test
