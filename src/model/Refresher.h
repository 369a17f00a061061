// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <QCoroTask>

#include <chrono>
#include <memory>

namespace skerrin {

class DesktopService;
class Diagnostics;
class Pairing;
class RefreshLoop;
class RuntimeLocation;
class ServiceWatcher;

// The full refresh sequence, and the background loop that keeps the platform status and the
// pairing session current.
class Refresher : public QObject {
    Q_OBJECT

public:
    Refresher(RuntimeLocation& location, DesktopService& service, Diagnostics& diagnostics, Pairing& pairing,
              ServiceWatcher& watcher, std::chrono::milliseconds period, QObject* parent = nullptr);
    ~Refresher() override;

    // Status, setup checks, connectivity, pairing session, platform status; each awaited in turn.
    QCoro::Task<> runFullRefresh();
    // The same, asked for by the user (the refresh control, the primary button).
    QCoro::Task<> refreshAtUserRequest();

    // The loop starts once the event loop runs, so construction runs no request.
    void startLoop();
    // With a watcher at work (the tray, `skerrin watch`) the loop also reads the desktop service's
    // status, at once and on every pass, so the icon follows a service started, stopped or dead
    // outside Skerrin. A plain command's loop does not.
    bool readsServiceStatus() const;
    // Ends the loop and waits for it; a loop that is asleep ends without another refresh.
    QCoro::Task<> cancelRefreshLoop();
    // Ends the loop without waiting; and waiting for the end, however it comes.
    void stopLoop();
    QCoro::Task<> waitForLoopEnd();
    bool hasFinishedFirstRefreshPass() const { return m_firstPassDone; }

signals:
    void firstRefreshPassFinished();

private:
    QCoro::Task<> runRefreshLoop();
    QCoro::Task<> lookAtService();
    void markFirstPassDone();

    RuntimeLocation& m_location;
    DesktopService& m_service;
    Diagnostics& m_diagnostics;
    Pairing& m_pairing;
    ServiceWatcher& m_watcher;
    std::chrono::milliseconds m_period;
    std::unique_ptr<RefreshLoop> m_loop;
    bool m_firstPassDone = false;
};

} // namespace skerrin
