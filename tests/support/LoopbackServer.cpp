// SPDX-License-Identifier: MIT
#include "support/LoopbackServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace skerrin::test {

bool RecordedRequest::hasHeader(const QByteArray& name) const {
    return std::any_of(headers.cbegin(), headers.cend(),
                       [&name](const auto& h) { return h.first.compare(name, Qt::CaseInsensitive) == 0; });
}

QByteArray RecordedRequest::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

LoopbackServer::LoopbackServer() : m_server(std::make_unique<httplib::Server>()) {
    const auto waitOrStop = [this](std::chrono::milliseconds duration) { // false: cut short by stopping
        const auto end = std::chrono::steady_clock::now() + duration;
        while (!m_stopping && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return !m_stopping;
    };
    const auto handler = [this, waitOrStop](const httplib::Request& request, httplib::Response& response) {
        const auto bytes = [](const std::string& text) { return QByteArray::fromStdString(text); };
        RecordedRequest record{
            bytes(request.method), QString::fromStdString(request.path), {}, bytes(request.body)};
        for (const auto& [key, value] : request.headers)
            record.headers.append({bytes(key), bytes(value)});
        std::unique_lock lock(m_mutex);
        m_requests.append(record);
        const auto canned = m_responses.value(record.path, {.status = 404, .contentType = "text/plain"});
        lock.unlock();
        if (!waitOrStop(canned.delay))
            return;
        response.status = canned.status;
        for (const auto& [key, value] : canned.headers)
            response.set_header(key.toStdString(), value.toStdString());
        if (canned.trickleInterval.count() <= 0)
            return response.set_content(canned.body.toStdString(), canned.contentType.toStdString());
        const auto trickle = [waitOrStop, canned](size_t offset, httplib::DataSink& sink) {
            if (offset < size_t(canned.body.size()))
                return waitOrStop(canned.trickleInterval) && sink.write(canned.body.constData() + offset, 1);
            sink.done();
            return true;
        };
        response.set_chunked_content_provider(canned.contentType.toStdString(), trickle);
    };
    m_server->Get(".*", handler).Post(".*", handler).Put(".*", handler).Delete(".*", handler);
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
            m_accepted = int(peers.size());
            for (auto& [peer, sent] : peers)
                sent += sent < bytes.size() && ::send(peer, bytes.constData() + sent, 1, MSG_NOSIGNAL) == 1;
        }
        for (const auto& peer : peers)
            ::close(peer.first);
        ::close(listener);
    });
}

} // namespace skerrin::test
