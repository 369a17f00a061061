// SPDX-License-Identifier: MIT
#include "model/ActionRunner.h"

#include "core/Text.h"
#include "model/DisplayTexts.h"
#include "model/LanguageChoice.h"
#include "model/ModelSettings.h"

#include <QCoroSignal>

namespace skerrin {

ActionRunner::ActionRunner(const LanguageChoice& language, ModelSettings& settings, QObject* parent)
    : Published(parent), m_language(language),
      m_latestActionOutput(QStringLiteral("No setup action run yet.")) {
    connect(&settings, &ModelSettings::writeFailed, this, [this](const QString& description) {
        setTransientMessage(
            m_language.ui(QStringLiteral("Settings could not be saved: "), QStringLiteral("无法保存设置：")) +
            description);
    });
}

QCoro::Task<ActionOutcome> ActionRunner::run(Action action) {
    if (m_actionRunning) {
        const QString refused = m_language.ui(QStringLiteral("Another action is running."),
                                              QStringLiteral("另一个操作正在进行。"));
        setTransientMessage(refused);
        m_lastOutcome = ActionOutcome{ActionOutcome::Kind::refused, masked(refused)};
        co_return *m_lastOutcome;
    }
    if (action.refusal) {
        setTransientMessage(*action.refusal);
        m_lastOutcome = ActionOutcome{ActionOutcome::Kind::refused, masked(*action.refusal)};
        co_return *m_lastOutcome;
    }
    m_actionRunning = true;
    updateBusy();
    if (action.runningMessage)
        setTransientMessage(*action.runningMessage);
    if (action.runningOutput)
        setLatestActionOutput(*action.runningOutput);
    const CancelHandle cancel;
    if (action.cancellable) {
        m_cancel = cancel;
        publish(m_canCancel, true);
    }
    // Started in a statement of its own: GCC 12 destroys by-value arguments made inside a co_await
    // expression twice.
    QCoro::Task<Result<QString>> pending = action.operation(cancel);
    const Result<QString> result = co_await std::move(pending);
    if (action.cancellable) {
        m_cancel.reset();
        publish(m_canCancel, false);
    }
    if (m_rereadSecrets)
        m_rereadSecrets();
    m_lastAction = LastAction{action.scriptPath, result.ok() ? 0 : result.failure().code};

    ActionOutcome outcome;
    if (result.ok()) {
        publishResult(result, action);
    } else if (cancel.isCancelled()) {
        outcome = {ActionOutcome::Kind::cancelled, cancelledText()};
        setTransientMessage(outcome.message);
        setLatestActionOutput(outcome.message);
    } else {
        outcome = {ActionOutcome::Kind::failed, masked(result.failure().description())};
        publishResult(result, action);
    }
    m_lastOutcome = outcome;

    const bool refresh = action.followUp == FollowUp::fullRefresh ||
                         (action.followUp == FollowUp::refreshOnFailure && !outcome.ok());
    if (refresh && m_followUpRefresh && !(m_windingDown && !cancel.isCancelled())) {
        QCoro::Task<> refreshing = m_followUpRefresh();
        co_await std::move(refreshing);
    }
    m_actionRunning = false;
    updateBusy();
    emit idle();
    co_return outcome;
}

void ActionRunner::publishResult(const Result<QString>& result, const Action& action) {
    if (!result.ok()) {
        setTransientMessage(result.failure().description());
        if (action.show != ShowResult::messageOnly)
            setLatestActionOutput(result.failure().description());
        return;
    }
    const QString output = trimmed(result.value());
    switch (action.show) {
    case ShowResult::outputOrFallback:
        setLatestActionOutput(output.isEmpty() ? action.fallbackMessage : output);
        setTransientMessage(output.isEmpty() ? action.fallbackMessage : action.successMessage);
        break;
    case ShowResult::outputAsIs:
        setLatestActionOutput(output);
        setTransientMessage(action.successMessage);
        break;
    case ShowResult::messageOnly:
        setTransientMessage(action.successMessage);
        break;
    case ShowResult::nothing:
        break;
    }
}

void ActionRunner::fail(const QString& message) {
    setTransientMessage(message);
    m_lastOutcome = ActionOutcome{ActionOutcome::Kind::failed, masked(message)};
}

ActionRunner::BusyHold::BusyHold(ActionRunner& runner) : m_runner(runner) {
    ++m_runner.m_holds;
    m_runner.updateBusy();
}

ActionRunner::BusyHold::~BusyHold() {
    --m_runner.m_holds;
    m_runner.updateBusy();
}

void ActionRunner::updateBusy() {
    const bool busy = m_actionRunning || m_holds > 0;
    if (busy != m_isBusy)
        publish(m_isBusy, busy);
}

void ActionRunner::cancelCurrentAction() {
    if (m_cancel)
        m_cancel->cancel();
}

void ActionRunner::windDown() {
    m_windingDown = true;
    cancelCurrentAction();
}

QCoro::Task<> ActionRunner::waitUntilIdle() {
    if (m_actionRunning)
        co_await qCoro(this, &ActionRunner::idle);
}

QString ActionRunner::latestActionSummary() const {
    return lastLinesSummary(m_latestActionOutput);
}

QString ActionRunner::cancelledText() const {
    return m_language.ui(QStringLiteral("Action cancelled."), QStringLiteral("操作已取消。"));
}

} // namespace skerrin
