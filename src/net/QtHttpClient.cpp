// SPDX-License-Identifier: MIT
#include "net/QtHttpClient.h"

#include "net/BoundedRequest.h"
#include "net/StreamingTransfer.h"

#include <QNetworkAccessManager>

namespace skerrin {
namespace {

class QtHttpClient final : public HttpClient {
public:
    QCoro::Task<FinishedRequest> send(HttpRequest request, HttpMethod method,
                                      RequestOptions options) override {
        QNetworkRequest sent(request.url);
        for (const auto& [name, value] : request.headers)
            sent.setRawHeader(name, value);
        return sendBoundedRequest(&m_manager, std::move(sent), method, options);
    }

    QCoro::Task<FinishedTransfer> streamGet(QUrl url, TransferOptions options) override {
        return skerrin::streamGet(&m_manager, std::move(url), std::move(options));
    }

private:
    QNetworkAccessManager m_manager;
};

} // namespace

std::unique_ptr<HttpClient> makeQtHttpClient() {
    return std::make_unique<QtHttpClient>();
}

} // namespace skerrin

// What skerrin-network.so exports: a client the caller owns.
extern "C" __attribute__((visibility("default"))) skerrin::HttpClient* skerrinQtHttpClient() {
    return skerrin::makeQtHttpClient().release();
}
