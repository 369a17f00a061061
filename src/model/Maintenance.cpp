// SPDX-License-Identifier: MIT
#include "model/Maintenance.h"

#include "core/Text.h"
#include "diagnostics/CodexLogin.h"
#include "model/ActionRunner.h"
#include "model/DesktopService.h"
#include "model/Diagnostics.h"
#include "model/DisplayTexts.h"
#include "model/LanguageChoice.h"
#include "model/ModelSettings.h"
#include "model/Pairing.h"
#include "model/RuntimeActions.h"
#include "model/RuntimeLocation.h"
#include "model/SettingsKeys.h"
#include "model/SupportReport.h"
#include "process/BackgroundWork.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/RuntimeScripts.h"

#include <QDir>
#include <QSysInfo>
#include <QTimer>

namespace skerrin {
namespace {

RootOperation script(QString relativePath, QStringList arguments = {}) {
    return [relativePath, arguments](QString root, CancelHandle cancel) {
        return runRuntimeScript(root, relativePath, arguments, std::move(cancel));
    };
}

} // namespace

Maintenance::Maintenance(Parts parts, PlatformServices& services, QObject* parent)
    : Published(parent), m_parts(parts), m_services(services) {
    // Only an enabled item counts.
    m_launchAtLoginEnabled = m_services.loginItem->status() == LoginItemStatus::enabled;
}

QString Maintenance::appVersionText() const {
    const QString text =
        versionAndBuild(m_services.appInfo->shortVersion(), m_services.appInfo->buildNumber());
    return text.isEmpty()
               ? m_parts.language.ui(QStringLiteral("Version unavailable"), QStringLiteral("版本未知"))
               : text;
}

// Setup and doctor may wait on the network or on the user's tools: a person can cancel them.
QCoro::Task<> Maintenance::runDesktopSetup() {
    const LanguageChoice& l = m_parts.language;
    QCoro::Task<ActionOutcome> running = m_parts.actions.run(
        agentAction(m_parts.location,
                    l.ui(QStringLiteral("Desktop setup completed."), QStringLiteral("桌面初始化完成。")),
                    l.ui(QStringLiteral("Desktop setup finished."), QStringLiteral("桌面初始化已完成。")),
                    l.ui(QStringLiteral("Running desktop setup..."), QStringLiteral("正在执行桌面初始化...")),
                    script(RuntimeLayout::installScript, RuntimeArguments::desktopSetup()),
                    RuntimeLayout::installScript));
    co_await std::move(running);
}

QCoro::Task<> Maintenance::runDoctor() {
    const LanguageChoice& l = m_parts.language;
    QCoro::Task<ActionOutcome> running = m_parts.actions.run(
        agentAction(m_parts.location, l.ui(QStringLiteral("Doctor passed."), QStringLiteral("诊断通过。")),
                    l.ui(QStringLiteral("Doctor finished."), QStringLiteral("诊断完成。")),
                    l.ui(QStringLiteral("Running doctor checks..."), QStringLiteral("正在执行诊断检查...")),
                    script(RuntimeLayout::doctorScript), RuntimeLayout::doctorScript));
    co_await std::move(running);
}

QCoro::Task<> Maintenance::openCodexLoginInTerminal() {
    Action action;
    action.successMessage = m_parts.language.ui(QStringLiteral("Opened Terminal for Codex login."),
                                                QStringLiteral("已打开 Terminal 进行 Codex 登录。"));
    action.show = ShowResult::messageOnly;
    action.followUp = FollowUp::none;
    action.operation = [root = m_parts.location.effectiveRoot(),
                        codexBin = m_parts.settings.string(SettingsKey::codexBin),
                        launch = m_services.openInTerminal](CancelHandle) -> QCoro::Task<Result<QString>> {
        // Starting the terminal (osascript on macOS) may take a while: not on the GUI thread.
        QFuture<std::optional<Error>> opening = runOffGuiThread([root, codexBin, launch] {
            const QString command = codexLoginCommandFor(root, codexBin);
            return launch ? launch(command)
                          : std::optional(error(QStringLiteral("Failed to open Terminal.")));
        });
        co_await opening;
        // A failure reads as it came, in its own words, whatever the language.
        if (const std::optional<Error> failure = opening.result())
            co_return *failure;
        co_return QString();
    };
    QCoro::Task<ActionOutcome> running = m_parts.actions.run(std::move(action));
    co_await std::move(running);
}

void Maintenance::openLogsFolder() {
    openPath(runtimePath(m_parts.location.effectiveRoot(), RuntimeLayout::stateFolder));
}

void Maintenance::openPath(const QString& path) {
    if (m_services.openUrl)
        m_services.openUrl(QUrl::fromLocalFile(path));
}

void Maintenance::copyLatestOutput() {
    if (m_services.copyToClipboard)
        m_services.copyToClipboard(m_parts.actions.latestActionOutput());
    m_parts.actions.showMessage(
        m_parts.language.ui(QStringLiteral("Copied latest output."), QStringLiteral("已复制最新输出。")));
}

QString Maintenance::supportReport(const ReportEnvironment& environment) const {
    const ActionRunner& actions = m_parts.actions;
    const RuntimeLocation& location = m_parts.location;
    SupportReportFacts facts;
    facts.version = appVersionText();
    facts.operatingSystem = QSysInfo::prettyProductName() + QStringLiteral(" (") + QSysInfo::kernelType() +
                            u' ' + QSysInfo::kernelVersion() + QStringLiteral(", ") +
                            QSysInfo::currentCpuArchitecture() + u')';
    facts.environment = environment;
    facts.runtimeRoot = location.runtimeRoot();
    facts.runtimeRootValid = location.validRoot().has_value();
    facts.statusSummary = m_parts.service.statusSummary();
    facts.statusDetail = m_parts.service.statusDetail();
    facts.statusDiagnostics = m_parts.service.statusDiagnostics();
    facts.isRunning = m_parts.service.isRunning();
    facts.setupChecks = m_parts.diagnostics.setupChecks();
    facts.connectivityChecks = m_parts.diagnostics.connectivityChecks();
    facts.currentPhoneSummary = m_parts.pairing.currentPhoneSummary();
    facts.currentPairingSummary = m_parts.pairing.currentPairingSummary();
    facts.lastAction = actions.lastAction();
    facts.lastMessage = actions.transientMessage();
    facts.latestActionOutput = actions.latestActionOutput();
    facts.connectorLog = connectorLogTail(location.effectiveRoot(), kReportLogLines);
    facts.homePath = QDir::homePath();
    return skerrin::supportReport(facts, location.secretMask());
}

void Maintenance::copyReport(const ReportEnvironment& environment) {
    if (m_services.copyToClipboard)
        m_services.copyToClipboard(supportReport(environment));
    m_parts.actions.showMessage(
        m_parts.language.ui(QStringLiteral("Report copied."), QStringLiteral("报告已复制。")));
}

void Maintenance::setLaunchAtLogin(bool enabled) {
    LoginItemService& loginItem = *m_services.loginItem;
    const std::optional<Error> failure = enabled ? loginItem.registerItem() : loginItem.unregisterItem();
    if (!failure) {
        publish(m_launchAtLoginEnabled, enabled);
        return;
    }
    m_parts.actions.fail(m_parts.language.ui(QStringLiteral("Failed to change sign-in launch: "),
                                             QStringLiteral("修改登录后启动失败：")) +
                         failure->description());
    // The toggle returns to what the system really holds.
    publish(m_launchAtLoginEnabled, loginItem.status() == LoginItemStatus::enabled);
}

QCoro::Task<> Maintenance::unpairCurrentInstallation() {
    const LanguageChoice& l = m_parts.language;
    QCoro::Task<ActionOutcome> running = m_parts.actions.run(rootAction(
        m_parts.location,
        l.ui(QStringLiteral("Current desktop pairing removed."), QStringLiteral("当前桌面配对已移除。")),
        l.ui(QStringLiteral("Current desktop pairing removal requested."),
             QStringLiteral("已请求移除当前桌面配对。")),
        script(RuntimeLayout::unpairScript), RuntimeLayout::unpairScript));
    co_await std::move(running);
}

QCoro::Task<> Maintenance::uninstallDesktopRuntime() {
    const LanguageChoice& l = m_parts.language;
    Action action;
    action.successMessage = l.ui(QStringLiteral("Desktop runtime uninstall requested."),
                                 QStringLiteral("已请求卸载桌面 Runtime。"));
    action.runningMessage =
        l.ui(QStringLiteral("Removing desktop runtime..."), QStringLiteral("正在移除桌面 Runtime..."));
    action.runningOutput = action.runningMessage;
    action.show = ShowResult::outputAsIs;
    action.followUp = FollowUp::refreshOnFailure;
    const std::optional<QString> root = m_parts.location.validRoot();
    if (!root)
        action.refusal = l.ui(QStringLiteral("Install the desktop runtime first."),
                              QStringLiteral("请先安装桌面 Runtime。"));
    if (root)
        action.scriptPath = runtimePath(*root, RuntimeLayout::uninstallScript);
    action.operation = [this, root = root.value_or(QString())](CancelHandle) { return uninstall(root); };
    QCoro::Task<ActionOutcome> running = m_parts.actions.run(std::move(action));
    const ActionOutcome outcome = co_await std::move(running);
    if (!outcome.ok())
        co_return;
    m_quitScheduled = true;
    QTimer::singleShot(std::chrono::milliseconds(500), this, &Maintenance::quitRequested);
}

QCoro::Task<Result<QString>> Maintenance::uninstall(QString root) {
    // Before the script, so that nothing is left to start an application that may be gone; a
    // failed uninstall does not switch it back on.
    if (m_launchAtLoginEnabled)
        setLaunchAtLogin(false);
    const QStringList arguments = RuntimeArguments::uninstall(m_services.appInfo->bundlePath());
    QCoro::Task<Result<QString>> run = runRuntimeScript(root, RuntimeLayout::uninstallScript, arguments);
    Result<QString> result = co_await std::move(run);
    if (result.ok()) {
        m_parts.location.clearRuntimeSelection();
        m_parts.diagnostics.forget();
        m_parts.pairing.forget();
        m_parts.service.showRuntimeRemoved();
    }
    co_return result;
}

} // namespace skerrin
