// SPDX-License-Identifier: MIT
#include "model/DesktopService.h"

#include "core/Text.h"
#include "model/ActionRunner.h"
#include "model/LanguageChoice.h"
#include "model/RuntimeActions.h"
#include "model/RuntimeLocation.h"
#include "model/StatusRefresh.h"
#include "platform/ComputerWords.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/RuntimeScripts.h"

#include <QCoroSignal>

namespace skerrin {

QString statusIconName(StatusIcon icon) {
    switch (icon) {
    case StatusIcon::busy:
        return QStringLiteral("arrow.triangle.2.circlepath.circle.fill");
    case StatusIcon::running:
        return QStringLiteral("bolt.horizontal.circle.fill");
    case StatusIcon::stopped:
        break;
    }
    return QStringLiteral("bolt.slash.circle");
}

DesktopService::DesktopService(ActionRunner& actions, RuntimeLocation& location,
                               const LanguageChoice& language, std::chrono::milliseconds statusScriptLimit,
                               QObject* parent)
    : Published(parent), m_actions(actions), m_location(location), m_language(language),
      m_statusScriptLimit(statusScriptLimit) {
    // A new root is a new chance for the one automatic recovery.
    connect(&location, &RuntimeLocation::rootChanged, this, [this] { m_hasAttemptedAutoRecovery = false; });
    // The icon follows the busy mark as well as the status.
    connect(&actions, &ActionRunner::willChange, this, &DesktopService::willChange);
}

StatusIcon DesktopService::statusIcon() const {
    if (m_actions.isBusy())
        return StatusIcon::busy;
    return m_isRunning ? StatusIcon::running : StatusIcon::stopped;
}

void DesktopService::setStatus(bool running, QString summary, QString detail) {
    publish(m_isRunning, running);
    publish(m_statusSummary, m_actions.masked(summary));
    publish(m_statusDetail, m_actions.masked(detail));
}

void DesktopService::setStatusDiagnostics(const QString& value) {
    publish(m_statusDiagnostics, m_actions.masked(value));
}

QCoro::Task<> DesktopService::refreshStatus(bool allowAutoRecovery) {
    const std::optional<QString> root = m_location.validRoot();
    if (!root) {
        setStatus(false, QStringLiteral("Not configured"),
                  m_location.runtimeRoot().isEmpty()
                      ? m_language.ui(QStringLiteral(
                                          "Install the standard runtime or choose a Brevant runtime folder."),
                                      QStringLiteral("安装标准 Runtime，或选择一个 Brevant Runtime 目录。"))
                      : m_language.ui(QStringLiteral("Selected folder does not look like a Brevant runtime."),
                                      QStringLiteral("当前选择的目录看起来不像 Brevant Runtime。")));
        co_return;
    }

    QCoro::Task<> reading = readStatus(true);
    co_await std::move(reading);

    if (allowAutoRecovery && !m_isRunning && !m_hasAttemptedAutoRecovery) {
        QCoro::Task<ActionOutcome> recovery = recover();
        co_await std::move(recovery);
    }
}

QCoro::Task<ActionOutcome> DesktopService::recover() {
    m_hasAttemptedAutoRecovery = true;
    m_actions.showMessage(m_language.ui(QStringLiteral("Desktop service is offline. Attempting recovery..."),
                                        QStringLiteral("桌面服务离线，正在尝试恢复...")));
    QCoro::Task<ActionOutcome> recovery = startConnector(
        m_language.ui(QStringLiteral("Desktop service recovered."), QStringLiteral("桌面服务已恢复。")),
        m_language.ui(QStringLiteral("Desktop service recovery requested."),
                      QStringLiteral("已请求恢复桌面服务。")),
        true);
    co_return co_await std::move(recovery);
}

QCoro::Task<bool> DesktopService::refreshStatusQuietly() {
    if (m_reading || m_actions.isBusy() || !m_location.validRoot())
        co_return false;
    QCoro::Task<> reading = readStatus(false);
    co_await std::move(reading);
    co_return true;
}

QCoro::Task<> DesktopService::readStatus(bool showBusy) {
    // Two runs at once would store in either order; the later caller waits and reads afresh.
    while (m_reading)
        co_await qCoro(this, &DesktopService::statusRead);
    const std::optional<QString> root = m_location.validRoot();
    if (!root)
        co_return;
    m_reading = true;
    std::optional<ActionRunner::BusyHold> busy;
    if (showBusy)
        busy.emplace(m_actions);
    const QString script = runtimePath(*root, RuntimeLayout::statusScript);
    // The status script starts nothing that must survive it; one that hangs must not keep every
    // control disabled.
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(m_statusScriptLimit).count();
    TimeLimit limit{m_statusScriptLimit,
                    m_language
                        .ui(QStringLiteral("Status script did not finish within %1 seconds."),
                            QStringLiteral("状态脚本未在 %1 秒内结束。"))
                        .arg(seconds)};
    QCoro::Task<Result<QString>> run = runShellScript(script, {}, *root, std::move(limit));
    const Result<QString> result = co_await std::move(run);
    busy.reset();
    if (result.ok()) {
        const bool running = connectorIsRunning(result.value());
        // Seen running again: a later drop gets its recovery too.
        if (running)
            m_hasAttemptedAutoRecovery = false;
        setStatusDiagnostics(trimmed(result.value()));
        setStatus(running,
                  running ? m_language.ui(QStringLiteral("Running"), QStringLiteral("运行中"))
                          : m_language.ui(QStringLiteral("Stopped"), QStringLiteral("未运行")),
                  summarizeConnectorStatus(m_statusDiagnostics, *root, running, m_language.language()));
    } else {
        setStatus(false, m_language.ui(QStringLiteral("Error"), QStringLiteral("错误")),
                  result.failure().description());
        setStatusDiagnostics(result.failure().description());
    }
    m_reading = false;
    emit statusRead();
}

QCoro::Task<ActionOutcome> DesktopService::runServiceScript(QString script, QString successMessage,
                                                            QString fallbackMessage) {
    Action action = rootAction(
        m_location, std::move(successMessage), std::move(fallbackMessage),
        [script](QString root, CancelHandle) { return runRuntimeScript(root, script); }, script);
    QCoro::Task<ActionOutcome> running = m_actions.run(std::move(action));
    co_return co_await std::move(running);
}

QCoro::Task<ActionOutcome> DesktopService::startConnector(QString successMessage, QString fallbackMessage,
                                                          bool resetAutoRecoveryFlagOnFailure) {
    QCoro::Task<ActionOutcome> running =
        runServiceScript(RuntimeLayout::startScript, std::move(successMessage), std::move(fallbackMessage));
    const ActionOutcome outcome = co_await std::move(running);
    if (outcome.kind == ActionOutcome::Kind::failed && resetAutoRecoveryFlagOnFailure)
        m_hasAttemptedAutoRecovery = false;
    co_return outcome;
}

QCoro::Task<> DesktopService::startConnector() {
    noteUserAction(UserAction::start);
    QCoro::Task<ActionOutcome> starting = startConnector(
        m_language.ui(QStringLiteral("Desktop service started."), QStringLiteral("桌面服务已启动。")),
        m_language.ui(QStringLiteral("Desktop service start requested."),
                      QStringLiteral("已请求启动桌面服务。")),
        false);
    co_await std::move(starting);
}

QCoro::Task<> DesktopService::ensureDesktopService() {
    noteUserAction(UserAction::keepOnline);
    QCoro::Task<ActionOutcome> starting = startConnector(
        m_language.ui(QStringLiteral("Desktop service is online."), QStringLiteral("桌面服务已在线。")),
        m_language.ui(QStringLiteral("Desktop service keepalive requested."),
                      QStringLiteral("已请求恢复桌面服务。")),
        false);
    co_await std::move(starting);
}

QCoro::Task<> DesktopService::stopConnector() {
    noteUserAction(UserAction::stop);
    QCoro::Task<ActionOutcome> running = runServiceScript(
        RuntimeLayout::stopScript,
        m_language.ui(QStringLiteral("Desktop service stopped."), QStringLiteral("桌面服务已停止。")),
        m_language.ui(QStringLiteral("Desktop service stop requested."),
                      QStringLiteral("已请求停止桌面服务。")));
    co_await std::move(running);
}

void DesktopService::showRuntimeRemoved() {
    m_hasAttemptedAutoRecovery = false;
    setStatus(false, m_language.ui(QStringLiteral("Not configured"), QStringLiteral("未配置")),
              ComputerWords::runtimeRemoved(m_language.language()));
}

} // namespace skerrin
