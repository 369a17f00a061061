// SPDX-License-Identifier: MIT
#include "panel/AdvancedSection.h"

#include "model/ActionRunner.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/DesktopService.h"
#include "model/Diagnostics.h"
#include "model/Installer.h"
#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "model/Pairing.h"
#include "model/Refresher.h"
#include "model/RuntimeLocation.h"
#include "model/SupportReport.h"
#include "panel/LogsGroup.h"
#include "panel/PanelPieces.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>

namespace skerrin::panel {

using namespace Qt::StringLiterals;

namespace {

QCoro::Task<> loadAdvancedChecks(ConnectorMenuBarModel& model) {
    QCoro::Task<> deep = model.diagnostics().loadDeepSetupChecksIfNeeded();
    co_await std::move(deep);
    QCoro::Task<> connectivity = model.diagnostics().refreshConnectivityChecks(true);
    co_await std::move(connectivity);
}

} // namespace

AdvancedSection::AdvancedSection(ConnectorMenuBarModel& model, PanelTasks& tasks, QWidget* parent)
    : QObject(parent), m_model(model), m_tasks(tasks) {
    m_toggle = disclosureToggle("advancedToggle", parent);
    m_content = new QWidget(parent);
    name(m_content, "advancedContent");
    m_content->setVisible(false);
    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(14);

    connect(m_toggle, &QToolButton::toggled, this, [this](bool open) {
        if (open && !m_actionsBox)
            build();
        m_content->setVisible(open);
        sync(m_model.location().validRoot().has_value());
        if (!open)
            return;
        QCoro::Task<> load = loadAdvancedChecks(m_model);
        m_tasks.start(std::move(load));
    });
}

// Made when first opened: most panels are never opened this far, and a panel shows sooner without.
void AdvancedSection::build() {
    const Group actions = makeGroup("advancedActionsGroup", 10, m_content);
    m_actionsBox = actions.box;
    m_actionsTitle = actions.title;
    const auto button = [this](const char* objectName) {
        auto* created = new QPushButton(m_actionsBox);
        name(created, objectName);
        return created;
    };
    m_install = button("installButton");
    m_runSetup = button("runSetupButton");
    m_doctor = button("doctorButton");
    m_codexLogin = button("codexLoginButton");
    m_rerunPairing = button("rerunPairingButton");
    m_refresh = button("refreshButton");
    m_chooseFolder = button("chooseFolderButton");
    m_openRuntime = button("openRuntimeButton");
    m_openLogs = button("openLogsButton");
    m_startService = button("startServiceButton");
    m_stopService = button("stopServiceButton");
    m_removePairing = button("removePairingButton");
    m_uninstall = button("uninstallButton");
    m_copyReport = button("copyReportButton");
    actions.content->addLayout(actionRow({m_install, m_runSetup, m_doctor}));
    actions.content->addLayout(actionRow({m_codexLogin, m_rerunPairing, m_refresh}));
    actions.content->addLayout(actionRow({m_chooseFolder, m_openRuntime, m_openLogs}));
    actions.content->addLayout(actionRow({m_startService, m_stopService, m_removePairing}));
    actions.content->addLayout(actionRow({m_uninstall, m_copyReport}));

    const Group setup = makeGroup("setupChecksGroup", 8, m_content);
    m_setupBox = setup.box;
    m_setupTitle = setup.title;
    m_setupChecks = new CheckList(m_setupBox);
    name(m_setupChecks, "setupChecks");
    setup.content->addWidget(m_setupChecks);
    const Group connectivity = makeGroup("connectivityGroup", 8, m_content);
    m_connectivityBox = connectivity.box;
    m_connectivityTitle = connectivity.title;
    m_connectivityChecks = new CheckList(m_connectivityBox);
    name(m_connectivityChecks, "connectivityChecks");
    connectivity.content->addWidget(m_connectivityChecks);
    m_logs = new LogsGroup(m_model.actions(), m_model.language(), m_model.maintenance(), m_model.service(),
                           m_content);

    auto* column = static_cast<QVBoxLayout*>(m_content->layout());
    for (QGroupBox* box : {m_actionsBox, m_setupBox, m_connectivityBox, m_logs->box()})
        column->addWidget(box);

    // Each button names its operation in a lambda: GCC 12 miscompiles a coroutine called through a
    // member function pointer (AddressSanitizer reports a stack underflow there).
    const auto startOnClick =
        [this, owner = &m_tasks](QPushButton* control,
                                 std::function<QCoro::Task<>(ConnectorMenuBarModel&)> operation) {
            connect(control, &QPushButton::clicked, this, [this, owner, operation = std::move(operation)] {
                QCoro::Task<> task = operation(m_model);
                owner->start(std::move(task));
            });
        };
    startOnClick(m_install, [](ConnectorMenuBarModel& m) { return m.installer().installStandardRuntime(); });
    startOnClick(m_runSetup, [](ConnectorMenuBarModel& m) { return m.maintenance().runDesktopSetup(); });
    startOnClick(m_doctor, [](ConnectorMenuBarModel& m) { return m.maintenance().runDoctor(); });
    startOnClick(m_codexLogin,
                 [](ConnectorMenuBarModel& m) { return m.maintenance().openCodexLoginInTerminal(); });
    startOnClick(m_rerunPairing, [](ConnectorMenuBarModel& m) { return m.pairing().startPairing(); });
    startOnClick(m_refresh, [](ConnectorMenuBarModel& m) { return m.refresher().refreshAtUserRequest(); });
    startOnClick(m_startService, [](ConnectorMenuBarModel& m) { return m.service().startConnector(); });
    startOnClick(m_stopService, [](ConnectorMenuBarModel& m) { return m.service().stopConnector(); });
    connect(m_chooseFolder, &QPushButton::clicked, this, &AdvancedSection::chooseFolderRequested);
    connect(m_openRuntime, &QPushButton::clicked, this,
            [this] { m_model.maintenance().openPath(m_model.location().effectiveRoot()); });
    connect(m_openLogs, &QPushButton::clicked, this, [this] { m_model.maintenance().openLogsFolder(); });
    connect(m_removePairing, &QPushButton::clicked, this, &AdvancedSection::removePairingRequested);
    connect(m_uninstall, &QPushButton::clicked, this, &AdvancedSection::uninstallRequested);
    connect(m_copyReport, &QPushButton::clicked, this, [this] {
        m_model.maintenance().copyReport(
            {qEnvironmentVariable("XDG_CURRENT_DESKTOP"), qEnvironmentVariable("XDG_SESSION_TYPE"),
             QGuiApplication::platformName(), QSystemTrayIcon::isSystemTrayAvailable()});
    });
    emit built();
}

QList<QWidget*> AdvancedSection::tabOrder() const {
    if (!m_actionsBox)
        return {m_toggle};
    return {m_toggle,
            m_install,
            m_runSetup,
            m_doctor,
            m_codexLogin,
            m_rerunPairing,
            m_refresh,
            m_chooseFolder,
            m_openRuntime,
            m_openLogs,
            m_startService,
            m_stopService,
            m_removePairing,
            m_uninstall,
            m_copyReport,
            m_logs->outputToggle(),
            m_logs->copyButton(),
            m_logs->openLogsButton()};
}

void AdvancedSection::sync(bool hasRuntimeRoot) {
    const LanguageChoice& m = m_model.language();
    const bool open = m_toggle->isChecked();
    setButtonText(m_toggle, open ? m.ui(u"Hide Advanced"_s, u"收起高级选项"_s)
                                 : m.ui(u"Show Advanced"_s, u"显示高级选项"_s));
    if (!m_actionsBox)
        return;
    const bool busy = m_model.actions().isBusy();
    const bool needsRoot = busy || !hasRuntimeRoot; // disabled while busy or with no runtime
    struct Control {
        QPushButton* button;
        QString text;
        bool disabled;
    };
    const Control controls[] = {
        {m_install, m_model.installer().runtimeInstallButtonTitle(), busy},
        {m_runSetup, m.ui(u"Run Setup"_s, u"执行初始化"_s), needsRoot},
        {m_doctor, m.ui(u"Doctor"_s, u"诊断"_s), needsRoot},
        {m_codexLogin, m.ui(u"Codex Login"_s, u"Codex 登录"_s), busy},
        {m_rerunPairing, m.ui(u"Re-run Pairing"_s, u"重新配对"_s), needsRoot},
        {m_refresh, m.ui(u"Refresh"_s, u"刷新"_s), busy},
        {m_chooseFolder, m.ui(u"Choose Runtime Folder…"_s, u"选择 Runtime 目录…"_s), busy},
        {m_openRuntime, m.ui(u"Open Runtime"_s, u"打开 Runtime"_s), busy},
        {m_openLogs, m.ui(u"Open Logs"_s, u"打开日志"_s), busy},
        {m_startService, m.ui(u"Start Service"_s, u"启动服务"_s), needsRoot},
        {m_stopService, m.ui(u"Stop Service"_s, u"停止服务"_s), needsRoot},
        {m_removePairing, m.ui(u"Remove Pairing"_s, u"取消配对"_s), needsRoot},
        {m_uninstall, m.ui(u"Uninstall Runtime"_s, u"卸载 Runtime"_s), needsRoot},
        {m_copyReport, m.ui(u"Copy Report"_s, u"复制报告"_s), false},
    };
    for (const Control& control : controls) {
        setButtonText(control.button, control.text);
        control.button->setEnabled(!control.disabled);
    }
    const auto title = [](QGroupBox* box, QLabel* label, const QString& text) {
        setLabelText(label, text);
        setAccessibleText(box, text);
    };
    title(m_actionsBox, m_actionsTitle, m.ui(u"Advanced Actions"_s, u"高级操作"_s));
    title(m_setupBox, m_setupTitle, m.ui(u"Setup Checks"_s, u"初始化检查"_s));
    title(m_connectivityBox, m_connectivityTitle, m.ui(u"Connectivity"_s, u"网络连通性"_s));
    m_setupChecks->sync(m, m_model.diagnostics().setupChecks());
    m_connectivityChecks->sync(m, m_model.diagnostics().connectivityChecks());
    m_logs->sync();
}

} // namespace skerrin::panel
