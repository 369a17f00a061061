// SPDX-License-Identifier: MIT
#include "diagnostics/CodexLogin.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/SettingsKeys.h"
#include "process/BackgroundWork.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/RuntimeScripts.h"

namespace skerrin {
namespace {

// Setup and doctor may wait on the network or on the user's tools: a person can cancel them.
AgentOperation cancellableScript(QString relativePath, QStringList arguments) {
    return [relativePath, arguments](QString root, CancelHandle cancel) {
        return runRuntimeScript(root, relativePath, arguments, std::move(cancel));
    };
}

} // namespace

QCoro::Task<> ConnectorMenuBarModel::runDesktopSetup() {
    co_await runAgentAction(
        ui(QStringLiteral("Desktop setup completed."), QStringLiteral("桌面初始化完成。")),
        ui(QStringLiteral("Desktop setup finished."), QStringLiteral("桌面初始化已完成。")),
        ui(QStringLiteral("Running desktop setup..."), QStringLiteral("正在执行桌面初始化...")),
        cancellableScript(RuntimeLayout::installScript, RuntimeArguments::desktopSetup()));
}

QCoro::Task<> ConnectorMenuBarModel::runDoctor() {
    co_await runAgentAction(
        ui(QStringLiteral("Doctor passed."), QStringLiteral("诊断通过。")),
        ui(QStringLiteral("Doctor finished."), QStringLiteral("诊断完成。")),
        ui(QStringLiteral("Running doctor checks..."), QStringLiteral("正在执行诊断检查...")),
        cancellableScript(RuntimeLayout::doctorScript, {}));
}

QCoro::Task<> ConnectorMenuBarModel::openCodexLoginInTerminal() {
    const QString root = effectiveRuntimeRoot();
    const std::optional<QString> codexBin = settings().string(SettingsKey::codexBin);
    const TerminalLauncher launch = m_services.openInTerminal;
    // `which` and starting the terminal (osascript on macOS) may take a while: not on the GUI thread.
    QFuture<std::optional<Error>> opening = runOffGuiThread([root, codexBin, launch] {
        const QString command = codexLoginCommandFor(root, codexBin);
        return launch ? launch(command) : std::optional(error(QStringLiteral("Failed to open Terminal.")));
    });
    co_await opening;
    const std::optional<Error> failure = opening.result();
    // A failure reads as it came, in its own words, whatever the language.
    setTransientMessage(failure ? failure->description()
                                : ui(QStringLiteral("Opened Terminal for Codex login."),
                                     QStringLiteral("已打开 Terminal 进行 Codex 登录。")));
}

void ConnectorMenuBarModel::openLogsFolder() {
    openPath(runtimePath(effectiveRuntimeRoot(), RuntimeLayout::stateFolder));
}

void ConnectorMenuBarModel::openPath(const QString& path) {
    if (m_services.openUrl)
        m_services.openUrl(QUrl::fromLocalFile(path));
}

void ConnectorMenuBarModel::copyLatestOutput() {
    if (m_services.copyToClipboard)
        m_services.copyToClipboard(m_latestActionOutput);
    setTransientMessage(ui(QStringLiteral("Copied latest output."), QStringLiteral("已复制最新输出。")));
}

void ConnectorMenuBarModel::setLaunchAtLogin(bool enabled) {
    LoginItemService& loginItem = *m_services.loginItem;
    const std::optional<Error> failure = enabled ? loginItem.registerItem() : loginItem.unregisterItem();
    if (!failure) {
        setLaunchAtLoginEnabled(enabled);
        return;
    }
    setTransientMessage(
        ui(QStringLiteral("Failed to change sign-in launch: "), QStringLiteral("修改登录后启动失败：")) +
        failure->description());
    // The toggle returns to what the system really holds.
    setLaunchAtLoginEnabled(loginItem.status() == LoginItemStatus::enabled);
}

} // namespace skerrin
