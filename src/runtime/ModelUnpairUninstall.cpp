// SPDX-License-Identifier: MIT
#include "core/Text.h"
#include "model/ConnectorMenuBarModel.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/RuntimeScripts.h"

#include <QCoreApplication>
#include <QTimer>

namespace skerrin {

QCoro::Task<> ConnectorMenuBarModel::unpairCurrentInstallation() {
    co_await runAction(
        ui(QStringLiteral("Current desktop pairing removed."), QStringLiteral("当前桌面配对已移除。")),
        ui(QStringLiteral("Current desktop pairing removal requested."),
           QStringLiteral("已请求移除当前桌面配对。")),
        false, [](QString root) { return runRuntimeScript(root, RuntimeLayout::unpairScript); });
}

QCoro::Task<> ConnectorMenuBarModel::uninstallDesktopRuntime() {
    const std::optional<QString> root = validRuntimeRoot(m_runtimeRoot);
    if (!root) {
        setTransientMessage(ui(QStringLiteral("Install the desktop runtime first."),
                               QStringLiteral("请先安装桌面 Runtime。")));
        co_return;
    }
    setIsBusy(true);
    const QString removing =
        ui(QStringLiteral("Removing desktop runtime..."), QStringLiteral("正在移除桌面 Runtime..."));
    setTransientMessage(removing);
    setLatestActionOutput(removing);
    // Before the script, so that nothing is left to start an application that may be gone; a
    // failed uninstall does not switch it back on.
    if (m_launchAtLoginEnabled)
        setLaunchAtLogin(false);
    const QStringList arguments = RuntimeArguments::uninstall(appInfo().bundlePath());
    QCoro::Task<Result<QString>> run = runRuntimeScript(*root, RuntimeLayout::uninstallScript, arguments);
    const Result<QString> result = co_await std::move(run);

    if (!result.ok()) {
        setTransientMessage(result.failure().description());
        setLatestActionOutput(result.failure().description());
        co_await runFullRefresh();
        setIsBusy(false);
        co_return;
    }
    setLatestActionOutput(trimmed(result.value()));
    setTransientMessage(ui(QStringLiteral("Desktop runtime uninstall requested."),
                           QStringLiteral("已请求卸载桌面 Runtime。")));
    clearRuntimeSelection();
    m_hasAttemptedAutoRecovery = false;
    setSetupChecks({});
    setConnectivityChecks({});
    setPairingSession(std::nullopt);
    setCurrentPhoneSummary(QString());
    setCurrentPairingSummary(QString());
    setIsRunning(false);
    setStatusSummary(ui(QStringLiteral("Not configured"), QStringLiteral("未配置")));
    setStatusDetail(ui(QStringLiteral("Desktop runtime removed from this Mac."),
                       QStringLiteral("这台 Mac 上的桌面 Runtime 已移除。")));
    m_quitScheduled = true;
    QTimer::singleShot(std::chrono::milliseconds(500), this, [this] {
        emit quitRequested();
        QCoreApplication::quit();
    });
    setIsBusy(false);
}

} // namespace skerrin
