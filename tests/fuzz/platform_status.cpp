// SPDX-License-Identifier: MIT
// The platform's desktop-runtime status body, as any server (or a proxy's error page) sends it.
#include "FuzzInput.h"

#include "pairing/PlatformStatus.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace skerrin;
using namespace skerrin::fuzz;

namespace {

void put(QJsonObject& object, const char* key, const std::optional<QString>& value) {
    if (value)
        object.insert(QLatin1String(key), *value);
}

// The decoded response written back as the platform would send it.
QByteArray encode(const DesktopRuntimeStatusResponse& response) {
    QJsonObject root{{QStringLiteral("ok"), response.ok}};
    if (const auto& p = response.desktopPairing) {
        QJsonObject pairing;
        put(pairing, "installation_id", p->installationId);
        put(pairing, "installation_name", p->installationName);
        put(pairing, "platform", p->platform);
        put(pairing, "workspace", p->workspace);
        put(pairing, "paired_at", p->pairedAt);
        put(pairing, "last_seen_at", p->lastSeenAt);
        root.insert(QStringLiteral("desktop_pairing"), pairing);
    }
    if (const auto& s = response.currentAppSession) {
        QJsonObject session{{QStringLiteral("id"), s->id}};
        put(session, "product_code", s->productCode);
        put(session, "session_source", s->sessionSource);
        put(session, "platform", s->platform);
        put(session, "device_id", s->deviceId);
        put(session, "device_name", s->deviceName);
        put(session, "device_model", s->deviceModel);
        put(session, "app_version", s->appVersion);
        put(session, "app_build", s->appBuild);
        put(session, "login_at", s->loginAt);
        put(session, "last_seen_at", s->lastSeenAt);
        put(session, "revoked_at", s->revokedAt);
        root.insert(QStringLiteral("current_app_session"), session);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<DesktopRuntimeStatusResponse> response =
        decodeDesktopRuntimeStatus(input(data, size));
    if (!response)
        return 0;
    require(decodeDesktopRuntimeStatus(encode(*response)) == response, "a decoded body reads back the same");
    for (const AppLanguage language : {AppLanguage::english, AppLanguage::chinese}) {
        require(!summarizePairing(response->desktopPairing, language).isEmpty(), "a pairing summary");
        summarizeAppSession(response->currentAppSession, language);
    }
    return 0;
}
