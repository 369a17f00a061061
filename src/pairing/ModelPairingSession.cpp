// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "pairing/PairingSession.h"
#include "runtime/EnvFile.h"

namespace skerrin {

void ConnectorMenuBarModel::refreshPairingSession() {
    setPairingSession(readPairingSession(effectiveRuntimeRoot(), QDateTime::currentDateTimeUtc()));
}

bool ConnectorMenuBarModel::isPairingConfigured() const {
    return hasPairingEnvironment(parseEnvFile(envFilePath(effectiveRuntimeRoot())));
}

} // namespace skerrin
