// SPDX-License-Identifier: MIT
#pragma once

#include "process/ProcessRunner.h"

namespace skerrin {

// /bin/bash <path> <arguments...> in currentDirectory (the runtime root), with CONFIG_ENV_FILE naming
// the environment file under it and PATH the fixed search path.
// A limit is for scripts that start nothing that must outlive them (the status script), a cancel
// handle for actions a person may cancel (desktop setup, the doctor).
QCoro::Task<Result<QString>> runShellScript(QString path, QStringList arguments, QString currentDirectory,
                                            std::optional<TimeLimit> limit = std::nullopt,
                                            std::optional<CancelHandle> cancel = std::nullopt);

// The runtime's own script <root>/<relativePath>, run as runShellScript runs it.
QCoro::Task<Result<QString>> runRuntimeScript(QString root, QString relativePath, QStringList arguments = {},
                                              std::optional<CancelHandle> cancel = std::nullopt);

// node <root>/<script> <arguments...> in the root, node found through the fixed search path.
QCoro::Task<Result<QString>> runNodeScript(QString root, QString scriptRelativePath, QStringList arguments,
                                           std::optional<CancelHandle> cancel = std::nullopt);

} // namespace skerrin
