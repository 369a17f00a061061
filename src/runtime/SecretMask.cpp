// SPDX-License-Identifier: MIT
#include "runtime/SecretMask.h"

#include <algorithm>

namespace skerrin {
namespace {

constexpr qsizetype kShortestSecret = 8;

} // namespace

bool isSecretKey(const QString& key) {
    for (const char* word : {"TOKEN", "SECRET", "PASSWORD", "KEY"}) {
        if (key.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString maskedSecret(const QString& value) {
    return QStringLiteral("••••") + value.right(4);
}

SecretMask::SecretMask(const EnvValues& env) {
    for (auto it = env.cbegin(); it != env.cend(); ++it) {
        const QString value = it.value().trimmed();
        if (isSecretKey(it.key()) && value.size() >= kShortestSecret && !m_secrets.contains(value))
            m_secrets.append(value);
    }
    std::sort(m_secrets.begin(), m_secrets.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
}

SecretMask SecretMask::forRuntime(const QString& runtimeRoot) {
    return SecretMask(parseEnvFile(envFilePath(runtimeRoot)));
}

QString SecretMask::apply(QString text) const {
    for (const QString& secret : m_secrets)
        text.replace(secret, maskedSecret(secret));
    return text;
}

} // namespace skerrin
