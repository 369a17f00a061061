// SPDX-License-Identifier: MIT
#include "model/Refresher.h"

#include "model/DesktopService.h"
#include "model/Diagnostics.h"
#include "model/Pairing.h"
#include "model/RefreshLoop.h"
#include "model/RuntimeLocation.h"
#include "model/ServiceWatcher.h"

#include <QPointer>

namespace skerrin {

Refresher::Refresher(RuntimeLocation& location, DesktopService& service, Diagnostics& diagnostics,
                     Pairing& pairing, ServiceWatcher& watcher, std::chrono::milliseconds period,
                     QObject* parent)
    : QObject(parent), m_location(location), m_service(service), m_diagnostics(diagnostics),
      m_pairing(pairing), m_watcher(watcher), m_period(period), m_loop(std::make_unique<RefreshLoop>()) {}

Refresher::~Refresher() {
    m_loop->cancel();
}

QCoro::Task<> Refresher::runFullRefresh() {
    m_location.recompute();
    co_await m_service.refreshStatus(false);
    co_await m_diagnostics.refreshSetupChecks(true);
    co_await m_diagnostics.refreshConnectivityChecks(true);
    m_pairing.refreshPairingSession();
    co_await m_pairing.refreshDesktopRuntimeStatus(true);
}

void Refresher::startLoop() {
    QMetaObject::invokeMethod(
        m_loop.get(),
        [this, self = QPointer<Refresher>(this)] {
            if (!self)
                return;
            if (m_loop->isCancelled()) {
                m_loop->markEnded();
                return;
            }
            m_loop->start(runRefreshLoop());
        },
        Qt::QueuedConnection);
}

QCoro::Task<> Refresher::runRefreshLoop() {
    RefreshLoop& loop = *m_loop;
    co_await lookAtService();
    co_await m_pairing.refreshDesktopRuntimeStatus(true);
    for (;;) {
        m_pairing.refreshPairingSession();
        markFirstPassDone();
        if (loop.isCancelled())
            break;
        co_await loop.sleep(m_period);
        if (loop.isCancelled())
            break;
        // Another process may have installed, paired or removed the runtime meanwhile.
        m_location.recompute();
        co_await lookAtService();
        co_await m_pairing.refreshDesktopRuntimeStatus(false);
    }
    loop.markEnded();
}

bool Refresher::readsServiceStatus() const {
    return m_watcher.mode() != ServiceWatcher::Mode::off;
}

QCoro::Task<> Refresher::lookAtService() {
    if (!readsServiceStatus())
        co_return;
    QCoro::Task<> look = m_watcher.look();
    co_await std::move(look);
}

QCoro::Task<> Refresher::refreshAtUserRequest() {
    m_service.noteUserAction(UserAction::refresh);
    co_await runFullRefresh();
}

void Refresher::stopLoop() {
    m_loop->cancel();
}

QCoro::Task<> Refresher::waitForLoopEnd() {
    co_await m_loop->waitUntilEnded();
}

QCoro::Task<> Refresher::cancelRefreshLoop() {
    m_loop->cancel();
    co_await m_loop->waitUntilEnded();
}

void Refresher::markFirstPassDone() {
    if (m_firstPassDone)
        return;
    m_firstPassDone = true;
    emit firstRefreshPassFinished();
}

} // namespace skerrin
