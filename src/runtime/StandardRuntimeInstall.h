// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"
#include "core/Language.h"
#include "core/Result.h"
#include "process/Cancellation.h"

#include <QCoroTask>

#include <chrono>
#include <functional>

namespace skerrin {

struct StandardRuntimeInstall {
    std::chrono::milliseconds transferIdleLimit;
    AppLanguage language;
    // While the archive downloads; absent once it has.
    std::function<void(std::optional<TransferProgress>)> progress;
    CancelHandle cancel;
};

// Fetches the manifest, streams the archive to a temporary file while hashing it, checks the digest,
// unpacks it into a staging folder and swaps the staged runtime in only once it has the runtime's
// layout: a failed or cancelled install leaves the runtime in place (its config/.env and state/) as
// it was. Gives the installed root.
QCoro::Task<Result<QString>> installStandardRuntimeFiles(HttpClient* network, StandardRuntimeInstall install);

} // namespace skerrin
