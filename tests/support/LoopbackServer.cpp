// SPDX-License-Identifier: MIT
#include "support/LoopbackServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace skerrin::test {
namespace {

int boundLoopbackSocket(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

} // namespace

bool RecordedRequest::hasHeader(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray RecordedRequest::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

CannedResponse CannedResponse::redirect(const QString& location, int status) {
    CannedResponse response;
    response.status = status;
    response.contentType = "text/plain";
    response.headers.append({"Location", location.toUtf8()});
    return response;
}

LoopbackServer::LoopbackServer() : m_server(std::make_unique<httplib::Server>()) {
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        RecordedRequest record;
        record.method = QByteArray::fromStdString(request.method);
        record.path = QString::fromStdString(request.path);
        for (const auto& [key, value] : request.headers)
            record.headers.append({QByteArray::fromStdString(key), QByteArray::fromStdString(value)});
        record.body = QByteArray::fromStdString(request.body);

        CannedResponse canned;
        {
            std::lock_guard lock(m_mutex);
            m_requests.append(record);
            const auto found = m_responses.constFind(record.path);
            if (found == m_responses.constEnd()) {
                canned.status = 404;
                canned.contentType = "text/plain";
                canned.body = "not found";
            } else {
                canned = found.value();
            }
        }
        if (canned.delay.count() > 0 && !waitOrStop(canned.delay)) {
            response.status = 503;
            return;
        }
        response.status = canned.status;
        for (const auto& [key, value] : canned.headers)
            response.set_header(key.toStdString(), value.toStdString());
        const std::string contentType = canned.contentType.toStdString();
        if (canned.trickleInterval.count() <= 0) {
            response.set_content(canned.body.toStdString(), contentType);
            return;
        }
        const auto body = std::make_shared<std::string>(canned.body.toStdString());
        const auto interval = canned.trickleInterval;
        response.set_chunked_content_provider(contentType,
                                              [this, body, interval](size_t offset, httplib::DataSink& sink) {
                                                  if (offset >= body->size()) {
                                                      sink.done();
                                                      return true;
                                                  }
                                                  if (!waitOrStop(interval))
                                                      return false;
                                                  return sink.write(body->data() + offset, 1);
                                              });
    };
    m_server->Get(".*", handler);
    m_server->Post(".*", handler);
    m_server->Put(".*", handler);
    m_server->Delete(".*", handler);
    m_server->set_keep_alive_timeout(1);
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port > 0)
        m_thread = std::thread([this] { m_server->listen_after_bind(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stopSignal.notify_all();
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

bool LoopbackServer::waitOrStop(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return !m_stopSignal.wait_for(lock, duration, [this] { return m_stopping.load(); });
}

QString LoopbackServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QString LoopbackServer::url(const QString& path) const {
    return baseUrl() + path;
}

void LoopbackServer::setResponse(const QString& path, CannedResponse response) {
    std::lock_guard lock(m_mutex);
    m_responses.insert(path, std::move(response));
}

QList<RecordedRequest> LoopbackServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

qsizetype LoopbackServer::requestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

StallingServer::StallingServer(QByteArray bytes, std::chrono::milliseconds interval)
    : m_bytes(std::move(bytes)), m_interval(interval) {
    m_listener = boundLoopbackSocket(&m_port);
    if (m_listener < 0 || ::listen(m_listener, 16) != 0)
        return;
    ::fcntl(m_listener, F_SETFL, ::fcntl(m_listener, F_GETFL) | O_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

StallingServer::~StallingServer() {
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

QString StallingServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port) + path;
}

void StallingServer::run() {
    struct Peer {
        int fd;
        qsizetype sent;
    };
    std::vector<Peer> peers;
    auto nextByte = std::chrono::steady_clock::now();
    while (!m_stopping) {
        pollfd listening{m_listener, POLLIN, 0};
        ::poll(&listening, 1, 10);
        for (;;) {
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0)
                break;
            peers.push_back({fd, 0});
            ++m_accepted;
        }
        if (std::chrono::steady_clock::now() < nextByte)
            continue;
        nextByte = std::chrono::steady_clock::now() + m_interval;
        for (Peer& peer : peers) {
            if (peer.sent < m_bytes.size() &&
                ::send(peer.fd, m_bytes.constData() + peer.sent, 1, MSG_NOSIGNAL) == 1)
                ++peer.sent;
        }
    }
    for (const Peer& peer : peers)
        ::close(peer.fd);
}

int unusedLoopbackPort() {
    int port = -1;
    const int fd = boundLoopbackSocket(&port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

} // namespace skerrin::test
