// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"

namespace skerrin {

// The next step the main button takes: install, pair (also over a pending code), keep online, or
// just look again.
QCoro::Task<> ConnectorMenuBarModel::performPrimaryAction() {
    if (!validRuntimeRoot(m_runtimeRoot)) {
        co_await installStandardRuntime();
    } else if (!isPairingConfigured() || m_pairingSession) {
        co_await startPairing();
    } else if (!m_isRunning) {
        co_await ensureDesktopService();
    } else {
        co_await runFullRefresh();
    }
}

} // namespace skerrin
