// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace skerrin {

// Where things live inside a runtime root, and what its scripts are called with.
namespace RuntimeLayout {
inline const QString connectorProgram = QStringLiteral("runner/chat_connector.js");
inline const QString startScript = QStringLiteral("runner/connector_start.sh");
inline const QString statusScript = QStringLiteral("runner/connector_status.sh");
inline const QString stopScript = QStringLiteral("runner/connector_stop.sh");
inline const QString installScript = QStringLiteral("deploy/agent/install.sh");
inline const QString doctorScript = QStringLiteral("deploy/agent/doctor.sh");
inline const QString pairingScript = QStringLiteral("scripts/desktop-pairing.mjs");
inline const QString unpairScript = QStringLiteral("deploy/agent/unpair.sh");
inline const QString uninstallScript = QStringLiteral("deploy/agent/uninstall.sh");
inline const QString envFile = QStringLiteral("config/.env");
inline const QString stateFolder = QStringLiteral("state");
inline const QString pairingSessionFile = QStringLiteral("state/pairing/desktop_pairing_session.json");
inline const QString pairingQrImage = QStringLiteral("state/relay_setup/relay_setup_qr_v2.png");

// The validity test: all seven must exist, checked in this order.
inline const std::array<QString, 7> requiredEntries{connectorProgram, startScript,  statusScript, stopScript,
                                                    installScript,    doctorScript, pairingScript};
} // namespace RuntimeLayout

// Argument lists of the runtime's scripts (after the script path itself).
namespace RuntimeArguments {
inline QStringList desktopSetup() {
    return {QStringLiteral("--target"), QStringLiteral("desktop")};
}
inline QStringList uninstall(const QString& bundlePath) {
    return {QStringLiteral("--remove-app-bundle"), bundlePath};
}
inline QStringList pairing(bool start, const QString& platformBaseUrl, const QString& envFilePath) {
    return {QStringLiteral("--"),
            start ? QStringLiteral("--start") : QStringLiteral("--wait"),
            QStringLiteral("--platform-base-url"),
            platformBaseUrl,
            QStringLiteral("--env-file"),
            envFilePath};
}
} // namespace RuntimeArguments

// root + "/" + relative path: the one way every caller addresses a runtime file.
inline QString runtimePath(const QString& root, const QString& relativePath) {
    return root + QLatin1Char('/') + relativePath;
}

} // namespace skerrin
