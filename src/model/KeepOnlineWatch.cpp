// SPDX-License-Identifier: MIT
#include "model/KeepOnlineWatch.h"

#include "core/Text.h"

#include <QtGlobal>

#include <algorithm>
#include <utility>

namespace skerrin {
namespace {

using namespace std::chrono;

QString firstLine(const QString& text) {
    return splitLines(text).value(0).trimmed();
}

QString group(WatchNoticeKind kind) {
    switch (kind) {
    case WatchNoticeKind::wentOffline:
    case WatchNoticeKind::recovered:
    case WatchNoticeKind::recoveryFailed:
        return QStringLiteral("service");
    case WatchNoticeKind::installFinished:
    case WatchNoticeKind::installFailed:
        return QStringLiteral("install");
    case WatchNoticeKind::pairingConfirmed:
        return QStringLiteral("pairing");
    }
    return {};
}

QString summary(WatchNoticeKind kind, AppLanguage l) {
    switch (kind) {
    case WatchNoticeKind::wentOffline:
        return ui(l, QStringLiteral("Desktop service went offline"), QStringLiteral("桌面服务已离线"));
    case WatchNoticeKind::recovered:
        return ui(l, QStringLiteral("Desktop service recovered"), QStringLiteral("桌面服务已恢复"));
    case WatchNoticeKind::recoveryFailed:
        return ui(l, QStringLiteral("Desktop service recovery failed"), QStringLiteral("桌面服务恢复失败"));
    case WatchNoticeKind::installFinished:
        return ui(l, QStringLiteral("Desktop runtime installed"), QStringLiteral("桌面 Runtime 已安装"));
    case WatchNoticeKind::installFailed:
        return ui(l, QStringLiteral("Runtime install failed"), QStringLiteral("Runtime 安装失败"));
    case WatchNoticeKind::pairingConfirmed:
        return ui(l, QStringLiteral("Phone paired"), QStringLiteral("手机已配对"));
    }
    return {};
}

} // namespace

milliseconds WatchSchedule::retryDelay(int failedRecoveries) const {
    if (retryDelays.empty())
        return noticeRepeat;
    const auto index = std::clamp<qsizetype>(failedRecoveries - 1, 0, qsizetype(retryDelays.size()) - 1);
    return retryDelays[std::size_t(index)];
}

WatchSchedule WatchSchedule::fromEnvironment() {
    WatchSchedule schedule;
    bool ok = false;
    const int scale = qEnvironmentVariableIntValue("SKERRIN_WATCH_TEST_SCALE", &ok);
    if (!ok || scale <= 1)
        return schedule;
    const auto shorten = [scale](milliseconds& span) { span = std::max(span / scale, milliseconds(1)); };
    shorten(schedule.statusPeriod);
    std::for_each(schedule.retryDelays.begin(), schedule.retryDelays.end(), shorten);
    shorten(schedule.noticeRepeat);
    return schedule;
}

KeepOnlineWatch::KeepOnlineWatch(WatchSchedule schedule, WatchClock clock)
    : m_schedule(std::move(schedule)), m_clock(clock ? std::move(clock) : WatchClock(&steady_clock::now)) {}

void KeepOnlineWatch::userAction(UserAction action) {
    switch (action) {
    case UserAction::start:
    case UserAction::keepOnline:
        m_paused = false;
        break;
    case UserAction::turnOn:
        m_enabled = true;
        m_paused = false;
        break;
    case UserAction::turnOff:
        m_enabled = false;
        break;
    case UserAction::refresh:
        break;
    case UserAction::stop:
        m_paused = true;
        break;
    }
    // Whatever the user did, the next drop is theirs to see recovered at once.
    m_failures = 0;
    m_nextAttempt.reset();
}

void KeepOnlineWatch::runtimeChanged() {
    rearm();
    m_lastSeenRunning.reset();
}

StatusDecision KeepOnlineWatch::statusSeen(bool running, bool allowAutoRecovery) {
    const std::optional<bool> before = std::exchange(m_lastSeenRunning, running);
    if (running) {
        rearm();
        return {};
    }
    StatusDecision decision;
    decision.recover = allowAutoRecovery && m_enabled && !m_paused && !m_attempted &&
                       (!m_nextAttempt || now() >= *m_nextAttempt);
    if (decision.recover)
        m_attempted = true;
    // A drop the user caused is no news to them.
    if (before == true && !m_paused)
        decision.notice =
            notice(WatchNoticeKind::wentOffline,
                   decision.recover ? ui(m_language, QStringLiteral("Skerrin is starting it again."),
                                         QStringLiteral("Skerrin 正在重新启动它。"))
                                    : ui(m_language, QStringLiteral("Open Skerrin to start it again."),
                                         QStringLiteral("打开 Skerrin 重新启动它。")));
    return decision;
}

std::optional<WatchNotice> KeepOnlineWatch::recoveryFinished(bool running, const QString& reason) {
    m_lastSeenRunning = running;
    if (running) {
        rearm();
        return notice(WatchNoticeKind::recovered, ui(m_language, QStringLiteral("It is online again."),
                                                     QStringLiteral("它已重新在线。")));
    }
    m_attempted = false;
    ++m_failures;
    const milliseconds delay = m_schedule.retryDelay(m_failures);
    m_nextAttempt = now() + delay;
    const auto wholeMinutes = std::max<qint64>(1, ceil<minutes>(delay).count());
    const QString retry = ui(m_language, QStringLiteral("Skerrin tries again in %1 min."),
                             QStringLiteral("Skerrin 将在 %1 分钟后重试。"))
                              .arg(wholeMinutes);
    const QString cause = firstLine(reason);
    return notice(WatchNoticeKind::recoveryFailed, cause.isEmpty() ? retry : cause + u'\n' + retry);
}

std::optional<WatchNotice> KeepOnlineWatch::longActionFinished(LongAction action, bool succeeded,
                                                               const QString& reason) {
    switch (action) {
    case LongAction::install:
        return succeeded ? notice(WatchNoticeKind::installFinished,
                                  ui(m_language, QStringLiteral("The desktop runtime is ready."),
                                     QStringLiteral("桌面 Runtime 已就绪。")))
                         : notice(WatchNoticeKind::installFailed, firstLine(reason));
    case LongAction::pairing:
        if (!succeeded)
            return std::nullopt;
        return notice(WatchNoticeKind::pairingConfirmed,
                      ui(m_language, QStringLiteral("Pairing confirmed."), QStringLiteral("配对已确认。")));
    }
    return std::nullopt;
}

QString KeepOnlineWatch::settingNote() const {
    return m_enabled && m_paused ? KeepOnlineText::pausedNote(m_language) : QString();
}

void KeepOnlineWatch::rearm() {
    m_attempted = false;
    m_failures = 0;
    m_nextAttempt.reset();
}

std::optional<WatchNotice> KeepOnlineWatch::notice(WatchNoticeKind kind, const QString& body) {
    // The panel on screen already says it.
    if (m_panelVisible)
        return std::nullopt;
    const steady_clock::time_point at = now();
    const auto last = m_lastNotice.find(kind);
    if (last != m_lastNotice.end() && at - last->second < m_schedule.noticeRepeat)
        return std::nullopt;
    m_lastNotice[kind] = at;
    return WatchNotice{kind, {group(kind), summary(kind, m_language), body}};
}

namespace KeepOnlineText {

QString settingTitle(AppLanguage language) {
    return ui(language, QStringLiteral("Keep Desktop Service Online"), QStringLiteral("保持桌面服务在线"));
}
QString pausedNote(AppLanguage language) {
    return ui(language, QStringLiteral("Paused until you start the service."),
              QStringLiteral("已暂停，直到你启动服务。"));
}
QString recoveryAttempt(AppLanguage language) {
    return ui(language, QStringLiteral("Desktop service is offline. Attempting recovery..."),
              QStringLiteral("桌面服务离线，正在尝试恢复..."));
}
QString recoverySuccess(AppLanguage language) {
    return ui(language, QStringLiteral("Desktop service recovered."), QStringLiteral("桌面服务已恢复。"));
}
QString recoveryFallback(AppLanguage language) {
    return ui(language, QStringLiteral("Desktop service recovery requested."),
              QStringLiteral("已请求恢复桌面服务。"));
}

} // namespace KeepOnlineText

} // namespace skerrin
