// SPDX-License-Identifier: MIT
#include "pairing/PlatformStatus.h"

#include "core/Text.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

namespace skerrin {
namespace {

const QString kSeparator = QStringLiteral(" \u2022 ");

// Reads optional string members; the first mistyped one spoils the whole object.
class Reader {
public:
    explicit Reader(const QJsonObject& object) : m_object(object) {}

    std::optional<QString> optionalString(const char* key) {
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        if (!value.isString()) {
            m_ok = false;
            return std::nullopt;
        }
        return value.toString();
    }

    bool ok() const { return m_ok; }

private:
    QJsonObject m_object;
    bool m_ok = true;
};

std::optional<DesktopPairing> decodePairing(const QJsonObject& object) {
    Reader read(object);
    DesktopPairing pairing;
    pairing.installationId = read.optionalString("installation_id");
    pairing.installationName = read.optionalString("installation_name");
    pairing.platform = read.optionalString("platform");
    pairing.workspace = read.optionalString("workspace");
    pairing.pairedAt = read.optionalString("paired_at");
    pairing.lastSeenAt = read.optionalString("last_seen_at");
    if (!read.ok())
        return std::nullopt;
    return pairing;
}

std::optional<AppSession> decodeSession(const QJsonObject& object) {
    const QJsonValue id = object.value(QLatin1String("id"));
    if (!id.isString())
        return std::nullopt;
    Reader read(object);
    AppSession session;
    session.id = id.toString();
    session.productCode = read.optionalString("product_code");
    session.sessionSource = read.optionalString("session_source");
    session.platform = read.optionalString("platform");
    session.deviceId = read.optionalString("device_id");
    session.deviceName = read.optionalString("device_name");
    session.deviceModel = read.optionalString("device_model");
    session.appVersion = read.optionalString("app_version");
    session.appBuild = read.optionalString("app_build");
    session.loginAt = read.optionalString("login_at");
    session.lastSeenAt = read.optionalString("last_seen_at");
    session.revokedAt = read.optionalString("revoked_at");
    if (!read.ok())
        return std::nullopt;
    return session;
}

// Missing or null: absent (true, nullopt). An object that decodes: present. Anything else: failure.
template <typename T, typename Decode>
bool decodeMember(const QJsonObject& parent, const char* key, Decode decode, std::optional<T>& out) {
    const QJsonValue value = parent.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isObject())
        return false;
    out = decode(value.toObject());
    return out.has_value();
}

QString trimmedOrEmpty(const std::optional<QString>& value) {
    return trimmed(value.value_or(QString()));
}

} // namespace

std::optional<DesktopRuntimeStatusResponse> decodeDesktopRuntimeStatus(const QByteArray& body) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    const QJsonValue ok = root.value(QLatin1String("ok"));
    if (!ok.isBool())
        return std::nullopt;
    DesktopRuntimeStatusResponse response;
    response.ok = ok.toBool();
    if (!decodeMember(root, "desktop_pairing", decodePairing, response.desktopPairing))
        return std::nullopt;
    if (!decodeMember(root, "current_app_session", decodeSession, response.currentAppSession))
        return std::nullopt;
    return response;
}

QString summarizePairing(const std::optional<DesktopPairing>& pairing, AppLanguage language) {
    if (!pairing)
        return ui(language, QStringLiteral("No paired installation"), QStringLiteral("没有已配对的安装实例"));
    const QString name = trimmedOrEmpty(pairing->installationName);
    const QString workspace = trimmedOrEmpty(pairing->workspace);
    if (!name.isEmpty() && !workspace.isEmpty())
        return name + kSeparator + workspace;
    if (!name.isEmpty())
        return name;
    if (!workspace.isEmpty())
        return workspace;
    return ui(language, QStringLiteral("Paired installation available"),
              QStringLiteral("已检测到配对安装实例"));
}

QString summarizeAppSession(const std::optional<AppSession>& session, AppLanguage language) {
    if (!session)
        return ui(language, QStringLiteral("No active phone session"), QStringLiteral("没有活跃的手机会话"));
    QStringList parts;
    for (const std::optional<QString>& part : {session->deviceName, session->platform, session->appVersion}) {
        const QString text = trimmedOrEmpty(part);
        if (!text.isEmpty())
            parts.append(text);
    }
    return parts.isEmpty() ? session->id : parts.join(kSeparator);
}

} // namespace skerrin
