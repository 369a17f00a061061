// SPDX-License-Identifier: MIT
#include "diagnostics/SetupChecks.h"

#include "core/Text.h"
#include "diagnostics/CodexLogin.h"
#include "diagnostics/CodexProbes.h"
#include "runtime/EnvFile.h"

#include <QFileInfo>

namespace skerrin {
namespace {

std::optional<QString> envEntry(const EnvValues& env, const QString& key) {
    const auto found = env.constFind(key);
    if (found == env.constEnd())
        return std::nullopt;
    return found.value();
}

SetupCheck check(const char* id, const char* title, bool ready, const QString& readyDetail,
                 const QString& notReadyDetail) {
    return {QString::fromLatin1(id), QString::fromLatin1(title), ready ? readyDetail : notReadyDetail, ready};
}

} // namespace

QList<SetupCheck> buildSetupChecks(const SetupCheckInputs& inputs, bool includeInteractiveCodexChecks,
                                   const ExecutableResolver& resolve) {
    const QString& root = inputs.runtimeRoot;
    const QString envPath = envFilePath(root);
    const QFileInfo envInfo(envPath);
    const bool envExists = envInfo.exists() || envInfo.isSymLink();
    const EnvValues env = parseEnvFile(envPath);

    const std::optional<QString> nodePath = resolve(std::nullopt, QStringLiteral("node"));
    const std::optional<QString> npmPath = resolve(std::nullopt, QStringLiteral("npm"));
    const std::optional<QString> codexPath =
        resolve(preferredCodexPath(env, inputs.codexBinSetting), QStringLiteral("codex"));
    const std::optional<QString> codexHome =
        resolveCodexHome(envEntry(env, QStringLiteral("CODEX_HOME")), inputs.codexHomeSetting);

    std::optional<ProbeResult> login;
    if (includeInteractiveCodexChecks && codexPath)
        login = codexLoginStatus(*codexPath);
    std::optional<ProbeResult> proxy;
    if (codexHome)
        proxy = codexProxyStatus(*codexHome);

    SetupCheck loginCheck{QStringLiteral("codexLogin"), QStringLiteral("Codex Login"), {}, false};
    if (!includeInteractiveCodexChecks) {
        loginCheck.detail = QStringLiteral("Checked only when Advanced is opened");
        loginCheck.isReady = codexPath.has_value();
    } else if (!login) {
        loginCheck.detail = QStringLiteral("Codex login status unavailable");
    } else {
        loginCheck.detail = login->detail;
        loginCheck.isReady = login->isReady;
    }

    const QString none;
    return {
        check("runtime", "Runtime", inputs.runtimeIsValid, root,
              QStringLiteral("Runtime not installed yet.")),
        check("env", ".env", envExists, envPath, QStringLiteral("config/.env missing")),
        check("node", "Node.js", nodePath.has_value(), nodePath.value_or(none),
              QStringLiteral("node not found")),
        check("npm", "npm", npmPath.has_value(), npmPath.value_or(none), QStringLiteral("npm not found")),
        check("codex", "Codex CLI", codexPath.has_value(), codexPath.value_or(none),
              QStringLiteral("codex not found")),
        loginCheck,
        check("codexHome", "Codex Home", codexHome.has_value(), codexHome.value_or(none),
              QStringLiteral("No Codex home found")),
        SetupCheck{QStringLiteral("codexProxy"), QStringLiteral("Codex Proxy"),
                   proxy ? proxy->detail : QStringLiteral("No Codex proxy config found"),
                   proxy && proxy->isReady},
        check("pairing", "Pairing Env", hasPairingEnvironment(env),
              QStringLiteral("relay token + workspace present"),
              QStringLiteral("relay token or workspace missing")),
    };
}

} // namespace skerrin
