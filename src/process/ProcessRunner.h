// SPDX-License-Identifier: MIT
#pragma once

// kFixedSearchPath and resolveExecutable, which the runner's callers use with it.
#include "core/ProgramLookup.h"
#include "core/Result.h"
#include "process/Cancellation.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

namespace skerrin {

// Variables added to the application's own environment for one run; a given value replaces an
// inherited one of the same name.
using Environment = QHash<QString, QString>;

// A bound on a run: at the limit the child's process group is ended and the run fails with
// `message`. Only for children that start nothing that must outlive them.
struct TimeLimit {
    std::chrono::milliseconds duration;
    QString message;
};

struct ProcessSpec {
    QString executable; // a path, never looked up
    QStringList arguments{};
    std::optional<QString> currentDirectory{}; // inherited when absent
    Environment additions{};
    bool fillMissingPath = true; // PATH = kFixedSearchPath when the environment has none
    std::optional<TimeLimit> limit{};
    // A run that a person may stop (pairing, setup, doctor, the installer's tar); never given to
    // the start, stop and status scripts, whose connector must outlive everything.
    std::optional<CancelHandle> cancel{};
};

// The message of a run ended by its cancel handle; the model shows its own text instead.
inline const QString kCancelledText = QStringLiteral("Action cancelled.");

struct ProcessOutcome {
    int status = 0; // exit status, or the number of the signal that ended the child
    QString output; // standard output then standard error, each kept only when not blank
};

// Every child reads standard input from /dev/null and leads a process group of its own, so a
// terminal's Ctrl-C reaches only Skerrin, which decides what to end. Blocks the calling thread.
// Gives the platform's error when the child cannot be started, the limit's message when it was
// ended at its limit, kCancelledText when it was cancelled; otherwise the outcome whatever the exit
// status.
Result<ProcessOutcome> runToCompletion(const ProcessSpec& spec);

// runToCompletion with the exit status as the result: status 0 gives the combined output; any
// other status, a signal's number included, gives an error of kErrorDomain with that code.
Result<QString> runProcessSync(const ProcessSpec& spec);
Result<QString> runProcessSync(const QString& executable, const QStringList& arguments,
                               const std::optional<QString>& currentDirectory,
                               const Environment& environment);

// runProcessSync on a background thread; the caller resumes on its own thread.
QCoro::Task<Result<QString>> runProcess(ProcessSpec spec);

// Ends at once every run in flight that has a limit, as if the limit had passed. For an
// application that is being interrupted; runs without a limit (they may start a service that must
// survive) are left alone.
void endLimitedRuns();

// How many runs without a limit are under way: an interrupted application lets them finish, so
// that a start script is not cut off half-way.
int runsWithoutLimitInFlight();

} // namespace skerrin
