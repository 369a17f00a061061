// SPDX-License-Identifier: MIT
#include "runtime/RuntimeScripts.h"

#include "runtime/EnvFile.h"
#include "runtime/RuntimeLayout.h"

#include <QFileInfo>

namespace skerrin {
namespace {

// Paths are made absolute, so that no script path can be read as an option, and none depends on
// where the application happened to start.
ProcessSpec scriptRun(const QString& root, QString executable, QStringList arguments) {
    const QString absoluteRoot = QFileInfo(root).absoluteFilePath();
    ProcessSpec spec{std::move(executable), std::move(arguments), absoluteRoot, {}};
    spec.additions = {{QStringLiteral("CONFIG_ENV_FILE"), envFilePath(absoluteRoot)},
                      {QStringLiteral("PATH"), kFixedSearchPath}};
    return spec;
}

} // namespace

// The spec is built in a plain local before the co_await: GCC 12 rejects some temporaries
// (QStringLiteral among them) inside a co_await expression.
QCoro::Task<Result<QString>> runShellScript(QString path, QStringList arguments, QString currentDirectory,
                                            std::optional<TimeLimit> limit,
                                            std::optional<CancelHandle> cancel) {
    ProcessSpec spec = scriptRun(currentDirectory, QStringLiteral("/bin/bash"),
                                 QStringList{QFileInfo(path).absoluteFilePath()} + arguments);
    spec.limit = std::move(limit);
    spec.cancel = std::move(cancel);
    QCoro::Task<Result<QString>> run = runProcess(std::move(spec));
    co_return co_await std::move(run);
}

QCoro::Task<Result<QString>> runRuntimeScript(QString root, QString relativePath, QStringList arguments,
                                              std::optional<CancelHandle> cancel) {
    const QString script = runtimePath(root, relativePath);
    QCoro::Task<Result<QString>> run =
        runShellScript(script, arguments, root, std::nullopt, std::move(cancel));
    co_return co_await std::move(run);
}

QCoro::Task<Result<QString>> runNodeScript(QString root, QString scriptRelativePath, QStringList arguments,
                                           std::optional<CancelHandle> cancel) {
    ProcessSpec spec =
        scriptRun(root, QStringLiteral("/usr/bin/env"),
                  QStringList{QStringLiteral("node"),
                              QFileInfo(runtimePath(root, scriptRelativePath)).absoluteFilePath()} +
                      arguments);
    spec.cancel = std::move(cancel);
    QCoro::Task<Result<QString>> run = runProcess(std::move(spec));
    co_return co_await std::move(run);
}

} // namespace skerrin
