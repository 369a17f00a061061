// SPDX-License-Identifier: MIT
#pragma once

#include "runtime/EnvFile.h"

#include <QStringList>

namespace skerrin {

// Whether a .env key names a secret: its name holds TOKEN, SECRET, PASSWORD or KEY (any case).
bool isSecretKey(const QString& key);

// What stands for a secret on screen: "••••" and its last four characters.
QString maskedSecret(const QString& value);

// Hides the runtime's secrets in any text before it is shown, copied or reported. The values live
// only here, never in a published field or a log.
class SecretMask {
public:
    SecretMask() = default;
    // The secret values of `env`: those of secret keys, 8 characters or longer.
    explicit SecretMask(const EnvValues& env);
    // The secrets of <root>/config/.env, read now.
    static SecretMask forRuntime(const QString& runtimeRoot);

    // `text` with every occurrence of every secret replaced by its mask.
    QString apply(QString text) const;
    bool isEmpty() const { return m_secrets.isEmpty(); }

private:
    QStringList m_secrets; // longest first, so a secret inside another is not half-masked
};

} // namespace skerrin
