// SPDX-License-Identifier: MIT
#include "app/TrayApplication.h"

#include "platform/TerminationSignals.h"

#include "app/SingleInstance.h"
#include "model/ActionRunner.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "model/Refresher.h"
#include "model/ServiceWatcher.h"
#include "panel/ConnectorMenuBarView.h"
#include "panel/PanelPlacement.h"
#include "panel/PanelWindow.h"
#include "panel/StatusNotifierTrayIcon.h"
#include "panel/StatusTrayIcon.h"
#include "panel/tray/TrayHosts.h"
#include "platform/DesktopServices.h"
#include "platform/widgets/QtFolderChooser.h"
#include "process/ProcessRunner.h"
#include "runtime/RuntimeInstaller.h"
#include "runtime/RuntimeRoots.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QScreen>
#include <QWindow>

#include <QCoroSignal>

#include <chrono>
#include <csignal>

namespace skerrin {
namespace {

// Wayland tells a client neither where its windows go nor where the bars are; the compositor
// keeps a window out of its bars, so the panel leaves room for one.
constexpr int kWaylandBarAllowance = 48;

// SIGINT and SIGTERM quit as the Quit item does; a second one exits at once. Caught from before the
// panel is built, so a signal meanwhile waits for the event loop rather than kill the process;
// `tray` is set by then.
void quitOnSignals(QObject& context, TrayApplication* const& tray) {
    onTerminationSignals(&context, [&tray, received = 0](int number) mutable {
        if (!tray || received++ > 0) {
            std::signal(number, SIG_DFL);
            std::raise(number);
            return;
        }
        tray->quit();
    });
}

} // namespace

TrayApplication::TrayApplication(ConnectorMenuBarModel& model, bool windowed, QObject* parent)
    : QObject(parent), m_model(model) {
    if (windowed) {
        panel().showAsWindow();
        return;
    }
    m_hosts = std::make_unique<tray::TrayHosts>(QDBusConnection::sessionBus());
    connect(m_hosts.get(), &tray::TrayHosts::changed, this, &TrayApplication::trayHostsChanged);
    if (m_hosts->kind() != tray::TrayHosts::Kind::none)
        enterTrayMode();
    else
        panel().showAsWindow();
}

TrayApplication::~TrayApplication() = default;

// Made when first shown: an icon that is never clicked costs no panel, nor the fonts it lays out.
PanelWindow& TrayApplication::panel() {
    if (!m_panel) {
        m_panel = std::make_unique<PanelWindow>(m_model);
        connect(&m_panel->view(), &ConnectorMenuBarView::quitRequested, this, &TrayApplication::quit);
        connect(m_panel.get(), &PanelWindow::windowClosed, this, &TrayApplication::windowClosed);
    }
    return *m_panel;
}

// Once the icon is in a tray it stays: an item re-registers with a new watcher by itself, and the
// toolkit's icon embeds itself in a new XEmbed tray. Only a StatusNotifierItem host that comes after
// an XEmbed tray takes the icon over; a panel offering both protocols starts them one by one.
void TrayApplication::trayHostsChanged() {
    if (m_quitting)
        return;
    const tray::TrayHosts::Kind kind = m_hosts->kind();
    if (!m_tray ? kind != tray::TrayHosts::Kind::none
                : kind == tray::TrayHosts::Kind::statusNotifier && m_trayKind != kind)
        enterTrayMode();
}

void TrayApplication::enterTrayMode() {
    // Only an XEmbed tray (or a platform's own) goes through the toolkit: Qt decides once per process
    // whether its icon speaks D-Bus, and drops the position of a click.
    m_trayKind = m_hosts->kind();
    if (m_trayKind == tray::TrayHosts::Kind::statusNotifier)
        m_tray = std::make_unique<StatusNotifierTrayIcon>(m_model.service(), m_model.language(),
                                                          QDBusConnection::sessionBus());
    else
        m_tray = std::make_unique<StatusTrayIcon>(m_model.service(), m_model.language());
    connect(m_tray.get(), &TrayIcon::toggleRequested, this, &TrayApplication::togglePanel);
    connect(m_tray.get(), &TrayIcon::openRequested, this, &TrayApplication::showPanel);
    connect(m_tray.get(), &TrayIcon::quitRequested, this, &TrayApplication::quit);
    m_tray->show();
}

void TrayApplication::showPanel() {
    if (m_quitting)
        return;
    const bool openAsWindow = m_panel && m_panel->isVisible() && !m_panel->isPopup();
    if (m_tray && !openAsWindow)
        showPopup();
    else
        panel().showAsWindow();
}

void TrayApplication::togglePanel() {
    if (m_panel && m_panel->isVisible())
        m_panel->hide();
    else if (!m_panel || !m_panel->closedOnFocusLossJustNow()) // that click took the focus and closed it
        showPanel();
}

void TrayApplication::windowClosed() {
    if (!m_tray)
        quit(); // with no tray, nothing would be left to open it again
}

// Beside the icon where the tray says where it is (an XEmbed icon's place, a StatusNotifierItem
// host's Activate position), else by the pointer; on the screen it is on, and no taller than the room
// there beside the icon's bar.
void TrayApplication::showPopup() {
    PanelWindow& popup = panel();
    const QRect icon = m_tray->geometry();
    const QPoint pointer = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(icon.isEmpty() ? pointer : icon.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        popup.showAsPopup(std::nullopt);
        return;
    }
    const QRect available = screen->availableGeometry();
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        // The compositor places windows; a client cannot.
        popup.setPopupArea(available.adjusted(0, kWaylandBarAllowance, 0, 0));
        popup.showAsPopup(std::nullopt);
        return;
    }
    const QRect area = panelArea(icon, available);
    popup.setPopupArea(area);
    popup.showAsPopup(panelPosition(icon, pointer, area, popup.popupSize()));
}

void TrayApplication::quit() {
    if (m_quitting)
        return;
    m_quitting = true;
    QCoro::Task<> task = windDown();
    QCoro::connect(std::move(task), this, [this] { emit finished(); });
}

// Everything the model and the panel started ends before the model goes: a cancellable action is
// cancelled, a status script is cut short, a start or stop script is let finish (its connector must
// live on), and nothing new begins after it.
QCoro::Task<> TrayApplication::windDown() {
    if (m_panel)
        m_panel->hide();
    endLimitedRuns();
    m_model.actions().windDown();
    co_await m_model.refresher().cancelRefreshLoop();
    co_await m_model.actions().waitUntilIdle();
    if (m_panel && m_panel->view().hasRunningTasks())
        co_await qCoro(&m_panel->view(), &ConnectorMenuBarView::tasksFinished);
}

int runTrayApplication(int& argc, char** argv, bool windowed, const QString& launcher) {
    // X11 takes the windows' class from RESOURCE_NAME when it makes the first window; the desktop
    // entry matches windows by it. Children get the environment as it was, or a terminal opened
    // for the Codex login would pass for Skerrin.
    const std::optional<QByteArray> inheritedName =
        qEnvironmentVariableIsSet("RESOURCE_NAME") ? std::optional(qgetenv("RESOURCE_NAME")) : std::nullopt;
    qputenv("RESOURCE_NAME", SKERRIN_APP_ID);
    // Declared before the application, whose signal handler reads it, so it outlives that handler.
    TrayApplication* trayForSignals = nullptr;
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(SKERRIN_APP_ID));
    QCoreApplication::setOrganizationName(QStringLiteral("Skerrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Skerrin"));
    // Closing the window quits only when there is no tray: TrayApplication decides, not Qt.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(QStringLiteral(SKERRIN_APP_ID));
    switch (instance.start()) {
    case SingleInstance::Role::handedOver:
        return 0;
    case SingleInstance::Role::failed:
        return 1;
    case SingleInstance::Role::primary:
        break;
    }
    quitOnSignals(app, trayForSignals);
    recoverInterruptedInstall(standardInstallRoot());

    PlatformServices services = makePlatformServices(launcher);
    services.chooseFolder = makeFolderChooser();
    services.copyToClipboard = makeClipboard();
    services.openUrl = makeUrlOpener();
    ConnectorMenuBarModel model(std::move(services));
    model.watcher().setMode(ServiceWatcher::Mode::tray);
    TrayApplication tray(model, windowed);
    trayForSignals = &tray;
    if (!tray.hasPanel()) {
        // The first native window fixes the class for every later one, the panel's too (a panel
        // shown at once was that window).
        QWindow first;
        first.create();
    }
    if (inheritedName)
        qputenv("RESOURCE_NAME", *inheritedName);
    else
        qunsetenv("RESOURCE_NAME");
    QObject::connect(&instance, &SingleInstance::showRequested, &tray, &TrayApplication::showPanel);
    QObject::connect(&tray, &TrayApplication::finished, &app, &QCoreApplication::quit);

    // After an uninstall the model asks to end, half a second later.
    QObject::connect(&model.maintenance(), &Maintenance::quitRequested, &tray, &TrayApplication::quit);
    return QApplication::exec();
}

} // namespace skerrin
