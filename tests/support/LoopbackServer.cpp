// SPDX-License-Identifier: MIT
#include "support/LoopbackServer.h"

#include <httplib.h>

namespace skerrin::test {

LoopbackServer::LoopbackServer() : m_server(std::make_unique<httplib::Server>()) {
    const auto waitOrStop = [this](std::chrono::milliseconds duration) { // false: cut short by stopping
        const auto end = std::chrono::steady_clock::now() + duration;
        while (!m_stopping && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return !m_stopping;
    };
    const auto handler = [this, waitOrStop](const httplib::Request& request, httplib::Response& response) {
        std::unique_lock lock(m_mutex);
        const QString path = QString::fromStdString(request.path);
        const std::string authorization = request.get_header_value("Authorization");
        m_requests.append(QString::fromStdString(request.method + ' ' + request.path +
                                                 (authorization.empty() ? "" : ' ' + authorization)));
        const auto canned = m_responses.value(path, {.status = 404});
        lock.unlock();
        if (!waitOrStop(canned.delay))
            return;
        response.status = canned.status;
        if (!canned.location.isEmpty())
            response.set_header("Location", canned.location.toStdString());
        // A type that is never compressed on the way, so a body arrives with exactly the size set.
        const char* type = "application/octet-stream";
        if (canned.endless) {
            return response.set_chunked_content_provider(
                type, [this, canned](size_t, httplib::DataSink& sink) {
                    return !m_stopping && sink.write(canned.body.constData(), size_t(canned.body.size()));
                });
        }
        if (canned.trickle.count() <= 0)
            return response.set_content(canned.body.toStdString(), type);
        response.set_chunked_content_provider(type, [=](size_t offset, httplib::DataSink& sink) {
            if (offset < size_t(canned.body.size()))
                return waitOrStop(canned.trickle) && sink.write(canned.body.constData() + offset, 1);
            sink.done();
            return true;
        });
    };
    m_server->Get(".*", handler);
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

} // namespace skerrin::test
