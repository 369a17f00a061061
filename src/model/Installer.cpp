// SPDX-License-Identifier: MIT
#include "model/Installer.h"

#include "model/ActionRunner.h"
#include "model/LanguageChoice.h"
#include "model/RuntimeLocation.h"
#include "runtime/RuntimeInstaller.h"
#include "runtime/RuntimeRoots.h"
#include "runtime/StandardRuntimeInstall.h"

namespace skerrin {

Installer::Installer(ActionRunner& actions, RuntimeLocation& location, const LanguageChoice& language,
                     HttpClient& network, std::chrono::milliseconds transferIdleLimit, QObject* parent)
    : Published(parent), m_actions(actions), m_location(location), m_language(language), m_network(network),
      m_transferIdleLimit(transferIdleLimit) {}

QString Installer::runtimeInstallButtonTitle() const {
    return m_location.validRoot()
               ? m_language.ui(QStringLiteral("Use Standard Runtime"), QStringLiteral("使用标准 Runtime"))
               : m_language.ui(QStringLiteral("Install Runtime"), QStringLiteral("安装 Runtime"));
}

QCoro::Task<> Installer::installStandardRuntime() {
    // What an install killed half-way left behind goes first: the old runtime back, leftovers out.
    recoverInterruptedInstall(standardInstallRoot());
    Action action;
    if (const std::optional<QString> present = m_location.validRuntimeRoot(standardRuntimeRoot())) {
        // Nothing to download: adopt it, say so, and look again.
        action.successMessage = m_language.ui(QStringLiteral("Standard runtime is already installed."),
                                              QStringLiteral("标准 Runtime 已经安装。"));
        action.show = ShowResult::messageOnly;
        action.operation = [this, root = *present](CancelHandle) {
            m_location.updateRuntimeRoot(root, std::nullopt);
            return readyResult(root);
        };
    } else {
        action.runningMessage = m_language.ui(QStringLiteral("Downloading desktop runtime..."),
                                              QStringLiteral("正在下载桌面 Runtime..."));
        action.runningOutput = m_language.ui(QStringLiteral("Downloading runtime manifest..."),
                                             QStringLiteral("正在下载 runtime 清单..."));
        action.successMessage = m_language.ui(QStringLiteral("Desktop runtime installed."),
                                              QStringLiteral("桌面 Runtime 已安装。"));
        action.cancellable = true;
        action.operation = [this](CancelHandle cancel) { return install(std::move(cancel)); };
    }
    const bool downloads = action.cancellable;
    QCoro::Task<ActionOutcome> running = m_actions.run(std::move(action));
    const ActionOutcome outcome = co_await std::move(running);
    if (downloads &&
        (outcome.kind == ActionOutcome::Kind::succeeded || outcome.kind == ActionOutcome::Kind::failed))
        emit finished(outcome.ok(), outcome.message);
}

QCoro::Task<Result<QString>> Installer::install(CancelHandle cancel) {
    StandardRuntimeInstall request{
        m_transferIdleLimit, m_language.language(),
        [this](std::optional<TransferProgress> progress) { setDownloadProgress(std::move(progress)); },
        std::move(cancel)};
    QCoro::Task<Result<QString>> installing = installStandardRuntimeFiles(&m_network, std::move(request));
    const Result<QString> files = co_await std::move(installing);
    setDownloadProgress(std::nullopt);
    if (!files.ok())
        co_return files.failure();
    const std::optional<QString> root = m_location.validRuntimeRoot(files.value());
    if (!root)
        co_return error(m_language.ui(QStringLiteral("Runtime extracted, but the folder layout is invalid."),
                                      QStringLiteral("Runtime 解压完成，但目录结构无效。")));
    m_location.updateRuntimeRoot(*root, std::nullopt);
    emit installed();
    co_return m_language.ui(QStringLiteral("Runtime installed to "), QStringLiteral("Runtime 已安装到 ")) +
        *root;
}

} // namespace skerrin
