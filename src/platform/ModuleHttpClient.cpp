// SPDX-License-Identifier: MIT
#include "platform/ModuleHttpClient.h"

#include "platform/Modules.h"

namespace skerrin {
namespace {

const QString kNoModuleText = QStringLiteral("HTTP is not available: the network module is not installed.");

class ModuleHttpClient final : public HttpClient {
public:
    explicit ModuleHttpClient(QString modulePath)
        : m_client(std::move(modulePath), "skerrinQtHttpClient", "HTTP is off") {}

    QCoro::Task<FinishedRequest> send(HttpRequest request, HttpMethod method,
                                      RequestOptions options) override {
        HttpClient* client = m_client.get();
        if (!client) {
            FinishedRequest failed;
            failed.errorText = kNoModuleText;
            co_return failed;
        }
        QCoro::Task<FinishedRequest> sent = client->send(std::move(request), method, options);
        co_return co_await std::move(sent);
    }

    QCoro::Task<FinishedTransfer> streamGet(QUrl url, TransferOptions options) override {
        HttpClient* client = m_client.get();
        if (!client) {
            FinishedTransfer failed;
            failed.errorText = kNoModuleText;
            co_return failed;
        }
        QCoro::Task<FinishedTransfer> got = client->streamGet(std::move(url), std::move(options));
        co_return co_await std::move(got);
    }

private:
    ModuleObject<HttpClient> m_client;
};

} // namespace

std::unique_ptr<HttpClient> makeModuleHttpClient(const QString& modulePath) {
    return std::make_unique<ModuleHttpClient>(modulePath);
}

} // namespace skerrin
