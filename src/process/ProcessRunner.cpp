// SPDX-License-Identifier: MIT
#include "process/ProcessRunner.h"

#include "core/Text.h"
#include "process/BackgroundWork.h"
#include "process/SpawnChild.h"

#include <QByteArray>

#include <qcoro/qcorofuture.h>

#include <algorithm>

namespace skerrin {
namespace {

const QString kCommandFailed = QStringLiteral("Command failed.");

bool isBlank(const QChar* begin, const QChar* end) {
    return std::all_of(begin, end, [](QChar c) { return c.isSpace(); });
}

// Standard output then standard error, each kept only if not blank, joined with one line feed.
// Decodes straight into one buffer and frees each byte stream once decoded, so large output is
// never held as bytes, two texts and their join at the same time.
QString combinedOutput(QByteArray& out, QByteArray& err) {
    // A UTF-16 text never has more code units than its UTF-8 form has bytes.
    QString combined(out.size() + 1 + err.size(), Qt::Uninitialized);
    QChar* const begin = combined.data();

    QChar* end = appendStrictUtf8(begin, out);
    if (isBlank(begin, end))
        end = begin;
    out = QByteArray();

    QChar* const errBegin = end == begin ? begin : end + 1;
    QChar* errEnd = appendStrictUtf8(errBegin, err);
    err = QByteArray();
    if (!isBlank(errBegin, errEnd)) {
        if (errBegin != begin)
            *end = QLatin1Char('\n');
        end = errEnd;
    }

    combined.truncate(end - begin);
    combined.squeeze();
    return combined;
}

} // namespace

Result<ProcessOutcome> runToCompletion(const ProcessSpec& spec) {
    if (spec.cancel && spec.cancel->isCancelled())
        return error(kCancelledText);
    auto outcome = spawnAndWait(spec);
    if (auto* failure = std::get_if<Error>(&outcome))
        return std::move(*failure);
    auto& finished = std::get<FinishedChild>(outcome);
    if (finished.ended == GroupEnded::atLimit)
        return error(spec.limit->message);
    if (finished.ended == GroupEnded::interrupted)
        return error(QStringLiteral("Stopped because Skerrin was interrupted."));
    if (finished.ended == GroupEnded::cancelled)
        return error(kCancelledText);
    return ProcessOutcome{finished.status, combinedOutput(finished.out, finished.err)};
}

Result<QString> runProcessSync(const ProcessSpec& spec) {
    Result<ProcessOutcome> run = runToCompletion(spec);
    if (!run.ok())
        return run.failure();
    ProcessOutcome& outcome = run.value();
    if (outcome.status == 0)
        return std::move(outcome.output);
    return Error{kErrorDomain, outcome.status, outcome.output.isEmpty() ? kCommandFailed : outcome.output};
}

Result<QString> runProcessSync(const QString& executable, const QStringList& arguments,
                               const std::optional<QString>& currentDirectory,
                               const Environment& environment) {
    return runProcessSync(ProcessSpec{executable, arguments, currentDirectory, environment});
}

QCoro::Task<Result<QString>> runProcess(ProcessSpec spec) {
    // Copied into the pool's task before this frame suspends: GCC 12 mishandles captures moved
    // out of a coroutine's parameters.
    QFuture<Result<QString>> run = runOffGuiThread([spec] { return runProcessSync(spec); });
    co_await run;
    co_return run.result();
}

} // namespace skerrin
