// SPDX-License-Identifier: MIT
#include "support/LoopbackServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace skerrin::test {

LoopbackServer::LoopbackServer() : m_server(std::make_unique<httplib::Server>()) {
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        std::unique_lock lock(m_mutex);
        const QString path = QString::fromStdString(request.path);
        m_requests.append({QByteArray::fromStdString(request.method), path,
                           QByteArray::fromStdString(request.get_header_value("Authorization"))});
        const auto canned = m_responses.value(path, {.status = 404});
        lock.unlock();
        const auto end = std::chrono::steady_clock::now() + canned.delay;
        while (!m_stopping && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        response.status = canned.status;
        for (const auto& [key, value] : canned.headers)
            response.set_header(key.toStdString(), value.toStdString());
        // A type that is never compressed on the way, so a body arrives with exactly the size set.
        response.set_content(canned.body.toStdString(), "application/octet-stream");
    };
    m_server->Get(".*", handler).Post(".*", handler);
    m_server->set_keep_alive_max_count(1); // no idle client holds up the destructor, no request is replayed
    if ((m_port = m_server->bind_to_any_port("127.0.0.1")) > 0)
        m_thread = std::jthread([this] { m_server->listen_after_bind(); });
    while (m_thread.joinable() && !m_server->is_running()) // or the destructor's stop() is lost
        std::this_thread::yield();
}

LoopbackServer::~LoopbackServer() {
    m_stopping = true;
    m_server->stop();
}

StallingServer::StallingServer(QByteArray bytes, std::chrono::milliseconds interval) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof(address);
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    if (::bind(listener, generic, length) == 0 && ::getsockname(listener, generic, &length) == 0 &&
        ::listen(listener, 16) == 0)
        m_port = ntohs(address.sin_port);
    m_thread = std::jthread([this, listener, bytes, interval](const std::stop_token& stop) {
        QList<QPair<int, qsizetype>> peers; // socket, bytes sent to it
        while (m_port > 0 && !stop.stop_requested()) {
            pollfd listening{listener, POLLIN, 0};
            if (::poll(&listening, 1, int(interval.count())) > 0)
                peers.append({::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC), 0});
            for (auto& [peer, sent] : peers)
                sent += sent < bytes.size() && ::send(peer, bytes.constData() + sent, 1, MSG_NOSIGNAL) == 1;
        }
        for (const auto& peer : peers)
            ::close(peer.first);
        ::close(listener);
    });
}

} // namespace skerrin::test
