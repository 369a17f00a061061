// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "model/RefreshLoop.h"

namespace skerrin {

QCoro::Task<> ConnectorMenuBarModel::runRefreshLoop() {
    RefreshLoop& loop = *m_refreshLoop;
    co_await refreshDesktopRuntimeStatus(true);
    for (;;) {
        refreshPairingSession();
        markFirstPassDone();
        if (loop.isCancelled())
            break;
        co_await loop.sleep(m_options.refreshPeriod);
        if (loop.isCancelled())
            break;
        co_await refreshDesktopRuntimeStatus(false);
    }
    loop.markEnded();
}

QCoro::Task<> ConnectorMenuBarModel::cancelRefreshLoop() {
    m_refreshLoop->cancel();
    co_await m_refreshLoop->waitUntilEnded();
}

void ConnectorMenuBarModel::markFirstPassDone() {
    if (m_firstPassDone)
        return;
    m_firstPassDone = true;
    emit firstRefreshPassFinished();
}

} // namespace skerrin
