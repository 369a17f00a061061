// SPDX-License-Identifier: MIT
#include "platform/ModuleHttpClient.h"

#include "platform/Modules.h"

namespace skerrin {
namespace {

const QString kNoModuleText = QStringLiteral("HTTP is not available: the network module is not installed.");

class ModuleHttpClient final : public HttpClient {
public:
    explicit ModuleHttpClient(QString modulePath) : m_modulePath(std::move(modulePath)) {}

    QCoro::Task<FinishedRequest> send(HttpRequest request, HttpMethod method,
                                      RequestOptions options) override {
        HttpClient* client = loaded();
        if (!client) {
            FinishedRequest failed;
            failed.errorText = kNoModuleText;
            co_return failed;
        }
        QCoro::Task<FinishedRequest> sent = client->send(std::move(request), method, options);
        co_return co_await std::move(sent);
    }

    QCoro::Task<FinishedTransfer> streamGet(QUrl url, TransferOptions options) override {
        HttpClient* client = loaded();
        if (!client) {
            FinishedTransfer failed;
            failed.errorText = kNoModuleText;
            co_return failed;
        }
        QCoro::Task<FinishedTransfer> got = client->streamGet(std::move(url), std::move(options));
        co_return co_await std::move(got);
    }

private:
    HttpClient* loaded() {
        if (!m_tried) {
            m_tried = true;
            using Entry = HttpClient* (*)();
            if (const auto entry =
                    reinterpret_cast<Entry>(moduleEntry(m_modulePath, "skerrinQtHttpClient", "HTTP is off")))
                m_client.reset(entry());
        }
        return m_client.get();
    }

    QString m_modulePath;
    bool m_tried = false;
    std::unique_ptr<HttpClient> m_client;
};

} // namespace

std::unique_ptr<HttpClient> makeModuleHttpClient(const QString& modulePath) {
    return std::make_unique<ModuleHttpClient>(modulePath);
}

} // namespace skerrin
