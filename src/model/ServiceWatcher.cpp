// SPDX-License-Identifier: MIT
#include "model/ServiceWatcher.h"

#include "model/ActionRunner.h"
#include "model/DesktopService.h"
#include "model/Installer.h"
#include "model/KeepOnlineSettings.h"
#include "model/LanguageChoice.h"
#include "model/ModelSettings.h"
#include "model/Pairing.h"
#include "platform/DesktopNotifier.h"

namespace skerrin {

ServiceWatcher::ServiceWatcher(Parts parts, QObject* parent) : Published(parent), m_parts(parts) {
    readSetting();
    m_policy.setLanguage(m_parts.language.language());
    connect(&m_parts.language, &LanguageChoice::switched, this, [this] {
        m_policy.setLanguage(m_parts.language.language());
        setSettingNote(m_policy.settingNote());
    });
    connect(&m_parts.service, &DesktopService::statusRead, this, &ServiceWatcher::statusRead);
    connect(&m_parts.service, &DesktopService::userActed, this, [this](UserAction action) {
        // A stop the user asked for is never undone, also when another process watches: the mark
        // goes into the settings before the script runs.
        if (action == UserAction::stop)
            m_parts.settings.report(saveStoppedByUser(m_parts.settings.store(), true));
        else if (action == UserAction::start || action == UserAction::keepOnline)
            m_parts.settings.report(saveStoppedByUser(m_parts.settings.store(), false));
        m_policy.userAction(action);
        setSettingNote(m_policy.settingNote());
        notePause();
    });
    connect(&m_parts.installer, &Installer::finished, this, [this](bool succeeded, const QString& reason) {
        if (m_mode == Mode::tray)
            send(m_policy.longActionFinished(LongAction::install, succeeded, reason));
    });
    connect(&m_parts.pairing, &Pairing::confirmed, this, [this] {
        if (m_mode == Mode::tray)
            send(m_policy.longActionFinished(LongAction::pairing, true, {}));
    });
}

ServiceWatcher::~ServiceWatcher() = default;

void ServiceWatcher::readSetting() {
    const KeepOnlineSetting stored = readKeepOnlineSetting(m_parts.settings.store());
    m_policy.setEnabled(stored.enabled || m_mode == Mode::headless);
    m_policy.setPaused(stored.paused);
    if (stored.enabled != m_keepServiceOnline)
        publish(m_keepServiceOnline, stored.enabled);
    updateLock();
    notePause();
}

// A stop asked for here or in a shell pauses watching; a start there or here lifts the pause.
void ServiceWatcher::notePause() {
    const bool paused = m_policy.isPaused();
    if (paused == m_wasPaused)
        return;
    m_wasPaused = paused;
    if (isWatching())
        emit event(paused ? QStringLiteral("paused") : QStringLiteral("resumed"), QString());
}

bool ServiceWatcher::shouldWatch() const {
    return m_mode == Mode::headless || (m_mode == Mode::tray && m_keepServiceOnline);
}

void ServiceWatcher::updateLock() {
    if (!shouldWatch()) {
        if (m_lock)
            m_lock->release();
        setSettingNote(m_policy.settingNote());
        return;
    }
    const WatchLock::Role role = m_mode == Mode::headless ? WatchLock::Role::headless : WatchLock::Role::tray;
    if (!m_lock)
        m_lock.emplace();
    const bool had = m_lock->isHeld();
    switch (m_lock->acquire(role)) {
    case WatchLock::Outcome::acquired:
        setSettingNote(m_policy.settingNote());
        if (!had)
            emit event(QStringLiteral("watching"), QString());
        break;
    case WatchLock::Outcome::held:
        setSettingNote(describeWatchHolder(m_lock->holder(), m_parts.language.language()));
        break;
    case WatchLock::Outcome::failed:
        setSettingNote(m_lock->failure());
        break;
    }
}

void ServiceWatcher::setKeepServiceOnline(bool enabled) {
    m_parts.settings.report(saveKeepServiceOnline(m_parts.settings.store(), enabled));
    m_policy.userAction(enabled ? UserAction::turnOn : UserAction::turnOff);
    publish(m_keepServiceOnline, enabled);
    updateLock();
}

void ServiceWatcher::setMode(Mode mode) {
    m_mode = mode;
    readSetting();
}

void ServiceWatcher::setSettingNote(QString note) {
    if (note != m_settingNote)
        publish(m_settingNote, std::move(note));
}

void ServiceWatcher::statusRead() {
    const bool running = m_parts.service.isRunning();
    const StatusDecision decision = m_policy.statusSeen(running, m_looking);
    m_recoverNow = m_looking && decision.recover;
    if (isWatching())
        send(decision.notice);
    if (m_lastRunning != running)
        emit event(running ? QStringLiteral("running") : QStringLiteral("offline"),
                   m_parts.service.statusDetail());
    m_lastRunning = running;
}

QCoro::Task<> ServiceWatcher::look() {
    if (m_mode == Mode::off || m_lookInFlight)
        co_return;
    m_lookInFlight = true;
    QCoro::Task<> looking = lookOnce();
    co_await std::move(looking);
    m_lookInFlight = false;
}

QCoro::Task<> ServiceWatcher::lookOnce() {
    // A command in a shell may have switched the setting or stopped the service meanwhile.
    readSetting();
    m_looking = isWatching();
    m_recoverNow = false;
    QCoro::Task<bool> reading = m_parts.service.refreshStatusQuietly();
    co_await std::move(reading);
    m_looking = false;
    if (!m_recoverNow || !isWatching())
        co_return;
    m_recoverNow = false;
    emit event(QStringLiteral("recovering"), m_parts.service.statusDetail());
    QCoro::Task<ActionOutcome> recovery = m_parts.service.recover();
    const ActionOutcome outcome = co_await std::move(recovery);
    const bool running = m_parts.service.isRunning();
    send(m_policy.recoveryFinished(running, outcome.ok() ? m_parts.service.statusDetail() : outcome.message));
    emit event(running ? QStringLiteral("recovered") : QStringLiteral("recovery-failed"),
               running ? m_parts.service.statusDetail()
                       : (outcome.ok() ? m_parts.service.statusDetail() : outcome.message));
}

void ServiceWatcher::send(const std::optional<WatchNotice>& notice) {
    if (notice && m_parts.notifier)
        m_parts.notifier->notify(notice->notification);
}

} // namespace skerrin
