// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"
#include "model/Published.h"
#include "process/Cancellation.h"
#include "runtime/SecretMask.h"

#include <QCoroTask>

#include <functional>
#include <optional>

namespace skerrin {

class LanguageChoice;
class ModelSettings;

// How the end of an action is shown in the message and the output.
enum class ShowResult {
    outputOrFallback, // output → the success message; no output → the fallback in both places
    outputAsIs,       // the output as it is, even empty, and the success message
    messageOnly,      // only the message, a failure's too; the output keeps what it had
    nothing,          // a failure still shows its description
};

enum class FollowUp { fullRefresh, refreshOnFailure, none };

struct Action {
    QString successMessage;
    QString fallbackMessage;
    std::optional<QString> runningMessage; // shown while it runs
    std::optional<QString> runningOutput;
    // When set, the action does not run and this is shown instead (no runtime, say).
    std::optional<QString> refusal;
    // The runtime script it runs, when it runs one: remembered for the support report.
    std::optional<QString> scriptPath;
    bool cancellable = false;
    ShowResult show = ShowResult::outputOrFallback;
    FollowUp followUp = FollowUp::fullRefresh;
    // Gets the action's cancel handle, which a cancellable action hands to what it runs.
    std::function<QCoro::Task<Result<QString>>(CancelHandle)> operation;
};

// An operation's result that is there at once, for an action whose work does not wait.
inline QCoro::Task<Result<QString>> readyResult(Result<QString> result) {
    co_return result;
}

// What the last action that ran was: its script and how it ended.
struct LastAction {
    std::optional<QString> scriptPath;
    int exitStatus = 0; // 0 on success, else the failure's code (a script's exit status)
};

struct ActionOutcome {
    enum class Kind { succeeded, failed, cancelled, refused };
    Kind kind = Kind::succeeded;
    QString message; // what was shown for a failure, a cancel or a refusal
    bool ok() const { return kind == Kind::succeeded; }
};

// The one action slot. Every action runs through it: the guard against a second action, `isBusy`
// (its only writer), the one cancel handle, the message and output, and the follow-up refresh.
class ActionRunner : public Published {
    Q_OBJECT

public:
    ActionRunner(const LanguageChoice& language, ModelSettings& settings, QObject* parent = nullptr);

    bool isBusy() const { return m_isBusy; }
    bool canCancelCurrentAction() const { return m_canCancel; }
    const std::optional<QString>& transientMessage() const { return m_transientMessage; }
    const QString& latestActionOutput() const { return m_latestActionOutput; }
    // Its last 12 non-empty lines, for the panel.
    QString latestActionSummary() const;
    // The last action's ending, absent before the first.
    const std::optional<ActionOutcome>& lastOutcome() const { return m_lastOutcome; }
    // The last action that ran (not one refused), absent before the first.
    const std::optional<LastAction>& lastAction() const { return m_lastAction; }

    // Every message and output is stored with the runtime's secrets masked. `reread` reads the
    // secrets again; it runs once after each operation, which may have written a new one.
    void setSecretMask(const SecretMask& mask, std::function<void()> reread) {
        m_mask = &mask;
        m_rereadSecrets = std::move(reread);
    }
    QString masked(const QString& text) const { return m_mask ? m_mask->apply(text) : text; }

    // The full refresh sequence that follows an action; set once by whoever owns the controllers.
    void setFollowUpRefresh(std::function<QCoro::Task<>()> refresh) {
        m_followUpRefresh = std::move(refresh);
    }

    QCoro::Task<ActionOutcome> run(Action action);

    // A short step that shows busy without being an action (the status script); an action's own
    // busy outlasts it.
    class BusyHold {
    public:
        explicit BusyHold(ActionRunner& runner);
        BusyHold(const BusyHold&) = delete;
        BusyHold& operator=(const BusyHold&) = delete;
        ~BusyHold();

    private:
        ActionRunner& m_runner;
    };

    // The running cancellable action ends with "Action cancelled.", then refreshes.
    void cancelCurrentAction();
    // For quitting or an interrupted command: cancels what can be cancelled and skips any follow-up
    // refresh not yet begun.
    void windDown();
    bool isWindingDown() const { return m_windingDown; }
    // Completes once no action runs.
    QCoro::Task<> waitUntilIdle();

    // A message of an operation that is not an action (a copy, a terminal opened).
    void showMessage(const QString& message) { setTransientMessage(message); }
    // A step that failed outside run(): shown, and the outcome the command line reports.
    void fail(const QString& message);

signals:
    void idle();

private:
    friend class ModelSeed;

    void updateBusy();
    void publishResult(const Result<QString>& result, const Action& action);
    void setTransientMessage(std::optional<QString> value) {
        if (value)
            value = masked(*value);
        publish(m_transientMessage, std::move(value));
    }
    void setLatestActionOutput(const QString& value) { publish(m_latestActionOutput, masked(value)); }
    QString cancelledText() const;

    const LanguageChoice& m_language;
    std::function<QCoro::Task<>()> m_followUpRefresh;
    bool m_isBusy = false;
    bool m_canCancel = false;
    std::optional<QString> m_transientMessage;
    QString m_latestActionOutput;
    std::optional<ActionOutcome> m_lastOutcome;
    std::optional<LastAction> m_lastAction;
    const SecretMask* m_mask = nullptr;
    std::function<void()> m_rereadSecrets;
    bool m_actionRunning = false;
    int m_holds = 0;
    std::optional<CancelHandle> m_cancel;
    bool m_windingDown = false;
};

} // namespace skerrin
