// SPDX-License-Identifier: MIT
#include "diagnostics/CodexLogin.h"

#include "core/ProgramLookup.h"

namespace skerrin {

std::optional<QString> preferredCodexPath(const EnvValues& env, const std::optional<QString>& setting) {
    const auto found = env.constFind(QStringLiteral("CODEX_BIN"));
    return found != env.constEnd() ? std::optional(found.value()) : setting;
}

QString shellQuoted(const QString& value) {
    QString inner = value;
    inner.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString codexLoginCommand(const QString& root, const QString& envFile, const QString& codex) {
    return QStringLiteral("cd ") + shellQuoted(root) + QStringLiteral(" && CONFIG_ENV_FILE=") +
           shellQuoted(envFile) + QLatin1Char(' ') + shellQuoted(codex) +
           QStringLiteral(" login --device-auth");
}

QString codexLoginCommandFor(const QString& root, const std::optional<QString>& codexBinSetting) {
    const QString envFile = envFilePath(root);
    const std::optional<QString> preferred = preferredCodexPath(parseEnvFile(envFile), codexBinSetting);
    const QString codex =
        resolveExecutable(preferred, QStringLiteral("codex")).value_or(QStringLiteral("codex"));
    return codexLoginCommand(root, envFile, codex);
}

} // namespace skerrin
