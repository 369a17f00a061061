// SPDX-License-Identifier: MIT
#include "core/Http.h"

namespace skerrin {

std::optional<QUrl> requestUrl(const QString& text) {
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    const auto defaultPort = [](const QUrl& url) {
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("https"))
            return 443;
        if (scheme == QLatin1String("http"))
            return 80;
        return -1;
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(defaultPort(a)) == b.port(defaultPort(b));
}

} // namespace skerrin
