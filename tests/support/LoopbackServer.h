// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
}

namespace skerrin::test {

// What the server received; header names are kept as sent.
struct RecordedRequest {
    QByteArray method;
    QString path;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    bool hasHeader(const QByteArray& name) const;
    QByteArray header(const QByteArray& name) const; // first match, case-insensitive; empty if none
};

struct CannedResponse {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
    std::chrono::milliseconds delay{0};           // before anything is sent
    std::chrono::milliseconds trickleInterval{0}; // > 0: chunked body, one byte per interval

    static CannedResponse redirect(const QString& location, int status = 302);
};

// An HTTP server on 127.0.0.1 at a free port, serving canned responses per path to every
// method (HEAD gets the headers only). Unknown paths answer 404. Thread-safe; the destructor
// stops it promptly, cutting short delays and trickles.
class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }
    QString baseUrl() const;                // "http://127.0.0.1:<port>"
    QString url(const QString& path) const; // baseUrl() + path

    void setResponse(const QString& path, CannedResponse response);
    QList<RecordedRequest> requests() const;
    qsizetype requestCount() const;

private:
    bool waitOrStop(std::chrono::milliseconds duration);

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = -1;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopSignal;
    std::atomic<bool> m_stopping{false};
    QMap<QString, CannedResponse> m_responses;
    QList<RecordedRequest> m_requests;
};

// Accepts TCP connections on 127.0.0.1 and holds them open; optionally sends `bytes` to each,
// one byte per interval. Nothing is ever read. Models a peer that never finishes answering.
class StallingServer {
public:
    explicit StallingServer(QByteArray bytes = {},
                            std::chrono::milliseconds interval = std::chrono::milliseconds(50));
    ~StallingServer();
    StallingServer(const StallingServer&) = delete;
    StallingServer& operator=(const StallingServer&) = delete;

    int port() const { return m_port; }
    QString url(const QString& path) const;
    int acceptedCount() const { return m_accepted.load(); }

private:
    void run();

    QByteArray m_bytes;
    std::chrono::milliseconds m_interval;
    int m_listener = -1;
    int m_port = -1;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::thread m_thread;
};

// A loopback port that nothing listens on (bound, then closed), for refused connections.
int unusedLoopbackPort();

} // namespace skerrin::test
