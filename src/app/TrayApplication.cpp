// SPDX-License-Identifier: MIT
#include "app/TrayApplication.h"

#include "app/TerminationSignals.h"

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
#include "panel/StatusTrayIcon.h"
#include "platform/widgets/QtFolderChooser.h"
#include "process/ProcessRunner.h"
#include "runtime/RuntimeInstaller.h"
#include "runtime/RuntimeRoots.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QSystemTrayIcon>

#include <QCoroSignal>

#include <chrono>
#include <csignal>

namespace skerrin {
namespace {

using namespace std::chrono_literals;

constexpr auto kTrayRetryPeriod = 1500ms;
constexpr auto kTrayRetryLimit = 30s;

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
    : QObject(parent), m_model(model), m_panel(std::make_unique<PanelWindow>(model)) {
    connect(&m_panel->view(), &ConnectorMenuBarView::quitRequested, this, &TrayApplication::quit);
    connect(m_panel.get(), &PanelWindow::windowClosed, this, &TrayApplication::windowClosed);
    if (windowed) {
        m_panel->showAsWindow();
        return;
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        enterTrayMode();
        return;
    }
    m_panel->showAsWindow();
    m_lookingSince.start();
    m_trayRetry.setInterval(kTrayRetryPeriod);
    connect(&m_trayRetry, &QTimer::timeout, this, &TrayApplication::lookForTray);
    m_trayRetry.start();
}

TrayApplication::~TrayApplication() = default;

void TrayApplication::lookForTray() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_trayRetry.stop();
        enterTrayMode();
    } else if (m_lookingSince.hasExpired(std::chrono::milliseconds(kTrayRetryLimit).count())) {
        m_trayRetry.stop(); // no tray: the window is the application, and nothing polls
    }
}

void TrayApplication::enterTrayMode() {
    m_tray = std::make_unique<StatusTrayIcon>(m_model.service(), m_model.language());
    connect(m_tray.get(), &StatusTrayIcon::toggleRequested, this, &TrayApplication::togglePanel);
    connect(m_tray.get(), &StatusTrayIcon::openRequested, this, &TrayApplication::showPanel);
    connect(m_tray.get(), &StatusTrayIcon::quitRequested, this, &TrayApplication::quit);
    m_tray->show();
}

void TrayApplication::showPanel() {
    if (m_quitting)
        return;
    const bool openAsWindow = m_panel->isVisible() && !m_panel->isPopup();
    if (m_tray && !openAsWindow)
        m_panel->showAsPopup(popupPosition());
    else
        m_panel->showAsWindow();
}

void TrayApplication::togglePanel() {
    if (m_panel->isVisible())
        m_panel->hide();
    else if (!m_panel->closedOnFocusLossJustNow()) // that click took the focus and closed it
        showPanel();
}

void TrayApplication::windowClosed() {
    if (!m_tray)
        quit(); // with no tray, nothing would be left to open it again
}

std::optional<QPoint> TrayApplication::popupPosition() const {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return std::nullopt; // the compositor places windows; a client cannot
    const QRect icon = m_tray->geometry();
    const QPoint pointer = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(icon.isEmpty() ? pointer : icon.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return panelPosition(icon, pointer, screen->availableGeometry(), m_panel->popupSize());
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
    m_panel->hide();
    endLimitedRuns();
    m_model.actions().windDown();
    co_await m_model.refresher().cancelRefreshLoop();
    co_await m_model.actions().waitUntilIdle();
    ConnectorMenuBarView& view = m_panel->view();
    if (view.hasRunningTasks())
        co_await qCoro(&view, &ConnectorMenuBarView::tasksFinished);
}

int runTrayApplication(int& argc, char** argv, bool windowed) {
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

    PlatformServices services = makePlatformServices();
    services.chooseFolder = makeFolderChooser();
    ConnectorMenuBarModel model(std::move(services));
    model.watcher().setMode(ServiceWatcher::Mode::tray);
    TrayApplication tray(model, windowed);
    trayForSignals = &tray;
    tray.panel().winId(); // the first window: its class is fixed from here on
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
