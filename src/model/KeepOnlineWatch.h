// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"
#include "platform/DesktopNotifier.h"

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace skerrin {

using WatchClock = std::function<std::chrono::steady_clock::time_point()>;

// How often watching looks at the service, how long it waits after recoveries that failed, and how
// soon the same notification may come back.
struct WatchSchedule {
    std::chrono::milliseconds statusPeriod = std::chrono::seconds(30);
    // The wait after the first, second, ... failed recovery in a row; the last one repeats.
    std::vector<std::chrono::milliseconds> retryDelays = {std::chrono::minutes(1), std::chrono::minutes(2),
                                                          std::chrono::minutes(4), std::chrono::minutes(8),
                                                          std::chrono::minutes(15)};
    std::chrono::milliseconds noticeRepeat = std::chrono::minutes(10);

    // failedRecoveries counts from 1.
    std::chrono::milliseconds retryDelay(int failedRecoveries) const;

    // This schedule with every span divided by SKERRIN_WATCH_TEST_SCALE. Only tests that watch in
    // real time set it (a positive whole number); any other value leaves the schedule as it is.
    static WatchSchedule fromEnvironment();
};

enum class WatchNoticeKind {
    wentOffline,
    recovered,
    recoveryFailed,
    installFinished,
    installFailed,
    pairingConfirmed
};

struct WatchNotice {
    WatchNoticeKind kind;
    DesktopNotification notification; // in the language of its moment
};

// What the user did, as far as watching cares. The primary button is keepOnline when it starts the
// service and refresh when it refreshes; the setting's switch is turnOn or turnOff.
enum class UserAction { start, keepOnline, turnOn, turnOff, refresh, stop };

// Long actions whose end is worth a notification when the user has walked away from the panel.
enum class LongAction { install, pairing };

struct StatusDecision {
    bool recover = false; // run the recovery now (the start action, reset-on-failure)
    std::optional<WatchNotice> notice;
};

// The decisions of keeping the desktop service online, without processes, settings or widgets:
// events in, decisions out, time from the injected clock.
//
// A recovery runs when a status refresh that allows it finds the service offline, the setting is on,
// the user has not stopped the service, no recovery is under way and any back-off has passed. Seeing
// the service running re-arms it, so a later drop is recovered too. A recovery that leaves the service
// offline (the start failed, or the status after it still says offline) backs off by the schedule; a
// user action ends the back-off. A stop the user asked for pauses watching until they start the service
// or keep it online again. Notifications go out only while the panel is hidden, each kind at most once
// per noticeRepeat.
class KeepOnlineWatch {
public:
    explicit KeepOnlineWatch(WatchSchedule schedule = WatchSchedule::fromEnvironment(),
                             WatchClock clock = {});

    const WatchSchedule& schedule() const { return m_schedule; }

    // The setting and the pause mark as stored: set at start-up, and again before each look, since a
    // command run in a shell may have changed them.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    void setPaused(bool paused) { m_paused = paused; }
    void setPanelVisible(bool visible) { m_panelVisible = visible; }
    void setLanguage(AppLanguage language) { m_language = language; }

    // Called before the action runs, so its own status refresh is judged with it in mind.
    void userAction(UserAction action);
    // Another runtime folder: what was learnt about the old one no longer holds.
    void runtimeChanged();

    // After each status refresh; only the watcher's own refresh allows a recovery.
    StatusDecision statusSeen(bool running, bool allowAutoRecovery);
    // After the recovery's start action and its status refresh. The reason is the action's error, or
    // the status detail when the action succeeded but the service is still offline.
    std::optional<WatchNotice> recoveryFinished(bool running, const QString& reason);
    // A long action the user started has ended (not cancelled).
    std::optional<WatchNotice> longActionFinished(LongAction action, bool succeeded, const QString& reason);

    bool isEnabled() const { return m_enabled; }
    bool isPaused() const { return m_paused; }
    // A recovery was started and the service has not been seen running since, nor has it failed.
    bool hasAttemptedAutoRecovery() const { return m_attempted; }
    int failedRecoveries() const { return m_failures; }
    std::optional<std::chrono::steady_clock::time_point> nextAttemptAt() const { return m_nextAttempt; }
    // The line under the setting: why watching does nothing now, or empty.
    QString settingNote() const;

private:
    std::chrono::steady_clock::time_point now() const { return m_clock(); }
    void rearm();
    std::optional<WatchNotice> notice(WatchNoticeKind kind, const QString& body);

    WatchSchedule m_schedule;
    WatchClock m_clock;
    AppLanguage m_language = AppLanguage::english;
    bool m_enabled = false;
    bool m_paused = false;
    bool m_panelVisible = false;
    bool m_attempted = false;
    int m_failures = 0;
    std::optional<std::chrono::steady_clock::time_point> m_nextAttempt;
    std::optional<bool> m_lastSeenRunning;
    std::map<WatchNoticeKind, std::chrono::steady_clock::time_point> m_lastNotice;
};

// The texts of keeping the service online, English or Chinese.
namespace KeepOnlineText {
QString settingTitle(AppLanguage language);
QString pausedNote(AppLanguage language);
// The action messages of a recovery: while it runs, and its success and fallback messages.
QString recoveryAttempt(AppLanguage language);
QString recoverySuccess(AppLanguage language);
QString recoveryFallback(AppLanguage language);
} // namespace KeepOnlineText

} // namespace skerrin
