// SPDX-License-Identifier: MIT
#include "app/CommandTable.h"

#include "model/ActionRunner.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/DesktopService.h"
#include "model/Diagnostics.h"
#include "model/Installer.h"
#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "model/Pairing.h"
#include "model/PrimaryAction.h"
#include "model/Refresher.h"
#include "model/RuntimeLocation.h"
#include "model/ServiceWatcher.h"

#include <QDateTime>

#include <cstdio>
#include <memory>

namespace skerrin {
namespace {

using Model = ConnectorMenuBarModel;

QCoro::Task<> nothing(Model&, QString) {
    co_return;
}

QCoro::Task<> useFolder(Model& model, QString path) {
    QCoro::Task<> use = model.location().useRuntimeFolder(std::move(path));
    co_await std::move(use);
}

QCoro::Task<> language(Model& model, QString raw) {
    model.language().setLanguage(*appLanguageFromRaw(raw));
    co_return;
}

QCoro::Task<> advanced(Model& model, QString) {
    co_await model.diagnostics().loadDeepSetupChecksIfNeeded();
    co_await model.diagnostics().refreshConnectivityChecks(true);
}

// `watch on|off` switches the setting; `watch` alone keeps the service online in the foreground,
// one line per event, until the loop is stopped by a signal.
QCoro::Task<> watch(Model& model, QString onOff) {
    if (!onOff.isEmpty()) {
        model.watcher().setKeepServiceOnline(onOff == QLatin1String("on"));
        co_return;
    }
    ServiceWatcher& watcher = model.watcher();
    // Until the first look the status is not known: the first lines say nothing of it.
    const auto print = [&model, known = std::make_shared<bool>(false)](const QString& event,
                                                                       const QString& detail) {
        *known |= event == QLatin1String("running") || event == QLatin1String("offline");
        const QString status = *known ? model.service().statusSummary() : QString();
        const QString line =
            QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + u'\t' + event + u'\t' + status +
            (detail.isEmpty() ? QString()
                              : (status.isEmpty() ? QString() : QStringLiteral(" — ")) + detail.simplified());
        std::fprintf(stdout, "%s\n", qPrintable(line));
        std::fflush(stdout);
    };
    QObject::connect(&watcher, &ServiceWatcher::event, &watcher, print);
    watcher.setMode(ServiceWatcher::Mode::headless);
    if (!watcher.isWatching())
        print(QStringLiteral("waiting"), watcher.settingNote());
    co_await watcher.look(); // at once, not a whole period from now
    co_await model.refresher().waitForLoopEnd();
    co_await model.actions().waitUntilIdle();
    print(QStringLiteral("stopped"), QString());
}

// A report says what every check finds now: the whole refresh first, as the panel's Refresh does,
// without counting as the user's refresh.
QCoro::Task<> readEverything(Model& model, QString) {
    co_await model.refresher().runFullRefresh();
}

QCoro::Task<> launchAtLogin(Model& model, QString onOff) {
    model.maintenance().setLaunchAtLogin(onOff == QLatin1String("on"));
    co_return;
}

// Each operation is named in a function of its own: GCC 12 miscompiles a coroutine reached through
// a member-function pointer.
const CommandSpec kCommands[] = {
    {"state", CommandArgument::none, "print the current state", nothing, false},
    {"use-folder", CommandArgument::path, "use PATH as the runtime folder, then refresh", useFolder},
    {"language", CommandArgument::language, "switch the display language", language, false},
    {"refresh", CommandArgument::none, "refresh status, checks, pairing and platform status",
     [](Model& m, QString) { return m.refresher().refreshAtUserRequest(); }},
    {"start", CommandArgument::none, "start the desktop service",
     [](Model& m, QString) { return m.service().startConnector(); }, true, true},
    {"stop", CommandArgument::none, "stop the desktop service",
     [](Model& m, QString) { return m.service().stopConnector(); }, true, true},
    {"keep-online", CommandArgument::none, "make sure the desktop service is online",
     [](Model& m, QString) { return m.service().ensureDesktopService(); }, true, true},
    {"advanced", CommandArgument::none, "load the deep setup checks and connectivity checks", advanced},
    {"install", CommandArgument::none, "install the standard runtime from the platform",
     [](Model& m, QString) { return m.installer().installStandardRuntime(); }, true, false, true},
    {"pair", CommandArgument::none, "start pairing: a setup code and QR code for the phone",
     [](Model& m, QString) { return m.pairing().startPairing(); }},
    {"finish-pairing", CommandArgument::none, "wait until the phone has confirmed the pairing",
     [](Model& m, QString) { return m.pairing().waitForPairingConfirmation(); }},
    {"primary", CommandArgument::none, "take the next step: install, pair, keep online or refresh",
     [](Model& m, QString) { return m.primary().performPrimaryAction(); }, true, false, true},
    {"setup", CommandArgument::none, "run the runtime's desktop setup",
     [](Model& m, QString) { return m.maintenance().runDesktopSetup(); }, true, true},
    {"doctor", CommandArgument::none, "run the runtime's doctor checks",
     [](Model& m, QString) { return m.maintenance().runDoctor(); }, true, true},
    {"codex-login", CommandArgument::none, "open a terminal that signs Codex in (device login)",
     [](Model& m, QString) { return m.maintenance().openCodexLoginInTerminal(); }, false},
    {"launch-at-login", CommandArgument::onOff, "start Skerrin at login, or not", launchAtLogin, false},
    {"watch", CommandArgument::optionalOnOff,
     "keep the desktop service online from the tray (on|off), or here in the foreground", watch, false},
    {"unpair", CommandArgument::none, "remove this desktop's current pairing",
     [](Model& m, QString) { return m.maintenance().unpairCurrentInstallation(); }, true, true},
    {"report", CommandArgument::none, "refresh, then print a support report (Markdown), secrets masked",
     readEverything, true, false, false, true},
    {"uninstall", CommandArgument::none, "remove the runtime and forget it; Skerrin then quits",
     [](Model& m, QString) { return m.maintenance().uninstallDesktopRuntime(); }, true, true},
};

} // namespace

std::span<const CommandSpec> commandTable() {
    return kCommands;
}

} // namespace skerrin
