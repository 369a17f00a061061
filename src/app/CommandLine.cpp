// SPDX-License-Identifier: MIT
#include "app/CommandLine.h"

#include "app/TerminationSignals.h"

#include "model/ConnectorMenuBarModel.h"
#include "process/ProcessRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <QCoroSignal>
#include <QCoroTask>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace skerrin {
namespace {

struct CommandSpec {
    const char* name;
    bool takesArgument;
};

constexpr CommandSpec kCommands[] = {
    {"state", false},   {"use-folder", true}, {"language", true},        {"refresh", false},
    {"start", false},   {"stop", false},      {"keep-online", false},    {"advanced", false},
    {"install", false}, {"pair", false},      {"finish-pairing", false}, {"primary", false},
    {"setup", false},   {"doctor", false},    {"codex-login", false},    {"launch-at-login", true},
    {"unpair", false},  {"uninstall", false},
};

QJsonValue optionalText(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonArray checksJson(const QList<SetupCheck>& checks) {
    QJsonArray array;
    for (const SetupCheck& check : checks) {
        array.append(QJsonObject{{QStringLiteral("id"), check.id},
                                 {QStringLiteral("title"), check.title},
                                 {QStringLiteral("detail"), check.detail},
                                 {QStringLiteral("isReady"), check.isReady}});
    }
    return array;
}

QJsonValue pairingJson(const std::optional<PairingSessionState>& session) {
    if (!session)
        return QJsonValue::Null;
    const QJsonValue expiry = session->expiresAt
                                  ? QJsonValue(session->expiresAt->toUTC().toString(Qt::ISODate))
                                  : QJsonValue(QJsonValue::Null);
    return QJsonObject{{QStringLiteral("setupCode"), session->setupCode},
                       {QStringLiteral("expiresAt"), expiry},
                       {QStringLiteral("qrPath"), session->qrPath}};
}

QJsonValue progressJson(const std::optional<TransferProgress>& progress) {
    if (!progress)
        return QJsonValue::Null;
    return QJsonObject{
        {QStringLiteral("received"), progress->received},
        {QStringLiteral("total"), progress->total ? QJsonValue(*progress->total) : QJsonValue()}};
}

QCoro::Task<> waitForFirstPass(ConnectorMenuBarModel& model) {
    if (!model.hasFinishedFirstRefreshPass())
        co_await qCoro(&model, &ConnectorMenuBarModel::firstRefreshPassFinished);
}

QCoro::Task<> runModelOperation(ConnectorMenuBarModel& model, const Command& command) {
    if (command.name == QLatin1String("use-folder")) {
        QCoro::Task<> use = model.useRuntimeFolder(command.argument);
        co_await std::move(use);
    } else if (command.name == QLatin1String("language")) {
        model.setLanguage(*appLanguageFromRaw(command.argument));
    } else if (command.name == QLatin1String("refresh")) {
        co_await model.runFullRefresh();
    } else if (command.name == QLatin1String("start")) {
        co_await model.startConnector();
    } else if (command.name == QLatin1String("stop")) {
        co_await model.stopConnector();
    } else if (command.name == QLatin1String("keep-online")) {
        co_await model.ensureDesktopService();
    } else if (command.name == QLatin1String("advanced")) {
        co_await model.loadDeepSetupChecksIfNeeded();
        co_await model.refreshConnectivityChecks(true);
    } else if (command.name == QLatin1String("install")) {
        co_await model.installStandardRuntime();
    } else if (command.name == QLatin1String("pair")) {
        co_await model.startPairing();
    } else if (command.name == QLatin1String("finish-pairing")) {
        co_await model.waitForPairingConfirmation();
    } else if (command.name == QLatin1String("primary")) {
        co_await model.performPrimaryAction();
    } else if (command.name == QLatin1String("setup")) {
        co_await model.runDesktopSetup();
    } else if (command.name == QLatin1String("doctor")) {
        co_await model.runDoctor();
    } else if (command.name == QLatin1String("codex-login")) {
        co_await model.openCodexLoginInTerminal();
    } else if (command.name == QLatin1String("launch-at-login")) {
        model.setLaunchAtLogin(command.argument == QLatin1String("on"));
    } else if (command.name == QLatin1String("unpair")) {
        co_await model.unpairCurrentInstallation();
    } else if (command.name == QLatin1String("uninstall")) {
        co_await model.uninstallDesktopRuntime();
    }
}

// Commands that read the desktop service's status; the others show it as not read yet.
bool readsStatus(const Command& command) {
    for (const char* name : {"state", "language", "codex-login", "launch-at-login"}) {
        if (command.name == QLatin1String(name))
            return false;
    }
    return true;
}

// Commands that run a runtime script, whose output the summary shows.
bool showsOutput(const Command& command) {
    for (const char* name : {"start", "stop", "keep-online", "setup", "doctor", "unpair", "uninstall"}) {
        if (command.name == QLatin1String(name))
            return true;
    }
    return false;
}

// Prints the state; 0, or 1 when the state could not be written or a setting was not saved.
int printState(const ConnectorMenuBarModel& model, const Command& command) {
    const QByteArray text = command.json
                                ? QJsonDocument(modelSnapshot(model)).toJson(QJsonDocument::Indented)
                                : humanSummary(model, readsStatus(command), showsOutput(command)).toUtf8();
    int status = 0;
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "skerrin: could not write the state to standard output: %s\n",
                     std::strerror(errno));
        status = 1;
    }
    if (const std::optional<QString>& failure = model.settingsSaveFailure()) {
        std::fprintf(stderr, "Could not save settings to %s: %s\n", qPrintable(model.settingsLocation()),
                     qPrintable(*failure));
        status = 1;
    }
    return status;
}

int g_interruption = 0; // the signal that interrupted the command, once one has
int g_printStatus = 0;  // what printing the state gave, for a run that the model ends itself

QCoro::Task<int> runCommand(ConnectorMenuBarModel& model, Command command) {
    co_await waitForFirstPass(model);
    co_await runModelOperation(model, command);
    if (model.isQuitScheduled()) {
        // The model ends the event loop half a second from now: print before anything can wait.
        g_printStatus = printState(model, command);
        co_await model.cancelRefreshLoop();
        co_return g_printStatus;
    }
    co_await model.cancelRefreshLoop();
    const int status = printState(model, command);
    co_return g_interruption != 0 ? 128 + g_interruption : status;
}

// SIGINT and SIGTERM end the runs that may be ended (the status script, the Codex probe), let the
// start and stop scripts finish, so that the service they launch survives, then print the state
// and exit with 128 + the signal's number. A cancellable action (pairing, install) is cancelled and
// runs to its end, refreshes included, so the state shows "Action cancelled.". A second signal
// exits at once.
void handleInterruptions(ConnectorMenuBarModel& model, const Command& command) {
    QObject* context = QCoreApplication::instance();
    onTerminationSignals(context, [&model, command, context](int number) {
        const int exitStatus = 128 + number;
        if (g_interruption != 0)
            std::_Exit(exitStatus);
        g_interruption = number;
        endLimitedRuns();
        if (model.canCancelCurrentAction()) {
            model.cancelCurrentAction();
            return; // runCommand prints the state and exits with 128 + the signal's number
        }
        auto* settle = new QTimer(context);
        QObject::connect(settle, &QTimer::timeout, settle, [&model, command, exitStatus] {
            if (runsWithoutLimitInFlight() > 0)
                return;
            if (!model.isQuitScheduled()) // an uninstall has printed already
                printState(model, command);
            // The model's operation is cut short: nothing of it may run on, so no destructor runs.
            std::_Exit(exitStatus);
        });
        settle->start(20);
    });
}

} // namespace

std::optional<Command> parseCommand(const QStringList& arguments) {
    Command command;
    QStringList positional;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--json"))
            command.json = true;
        else
            positional.append(argument);
    }
    if (positional.isEmpty())
        return std::nullopt;
    command.name = positional.takeFirst();
    for (const CommandSpec& spec : kCommands) {
        if (command.name != QLatin1String(spec.name))
            continue;
        if (positional.size() != (spec.takesArgument ? 1 : 0))
            return std::nullopt;
        if (spec.takesArgument)
            command.argument = positional.constFirst();
        if (command.name == QLatin1String("language") && !appLanguageFromRaw(command.argument))
            return std::nullopt;
        if (command.name == QLatin1String("launch-at-login") && command.argument != QLatin1String("on") &&
            command.argument != QLatin1String("off"))
            return std::nullopt;
        if (command.name == QLatin1String("use-folder")) {
            if (command.argument.isEmpty())
                return std::nullopt;
            // As the folder chooser would give it: absolute and clean, whatever the current folder.
            command.argument = QDir::cleanPath(QDir::current().absoluteFilePath(command.argument));
        }
        return command;
    }
    return std::nullopt;
}

QString usageText() {
    return QStringLiteral("usage: skerrin [--windowed]\n"
                          "       skerrin COMMAND [ARG] [--json]\n"
                          "\n"
                          "Without a command Skerrin starts in the tray, or with --windowed as an\n"
                          "ordinary window. A command runs headless: no display is needed.\n"
                          "\n"
                          "commands:\n"
                          "  state               print the current state\n"
                          "  use-folder PATH     use PATH as the runtime folder, then refresh\n"
                          "  language en|zh-Hans switch the display language\n"
                          "  refresh             refresh status, checks, pairing and platform status\n"
                          "  start               start the desktop service\n"
                          "  stop                stop the desktop service\n"
                          "  keep-online         make sure the desktop service is online\n"
                          "  advanced            load the deep setup checks and connectivity checks\n"
                          "  install             install the standard runtime from the platform\n"
                          "  pair                start pairing: a setup code and QR code for the phone\n"
                          "  finish-pairing      wait until the phone has confirmed the pairing\n"
                          "  primary             take the next step: install, pair, keep online or refresh\n"
                          "  setup               run the runtime's desktop setup\n"
                          "  doctor              run the runtime's doctor checks\n"
                          "  codex-login         open a terminal that signs Codex in (device login)\n"
                          "  launch-at-login on|off\n"
                          "                      start Skerrin at login, or not\n"
                          "  unpair              remove this desktop's current pairing\n"
                          "  uninstall           remove the runtime and forget it; Skerrin then quits\n"
                          "\n"
                          "  --json              print the state as one JSON object\n");
}

QJsonObject modelSnapshot(const ConnectorMenuBarModel& model) {
    return QJsonObject{
        {QStringLiteral("runtimeRoot"), model.runtimeRoot()},
        {QStringLiteral("statusSummary"), model.statusSummary()},
        {QStringLiteral("statusDetail"), model.statusDetail()},
        {QStringLiteral("statusDiagnostics"), model.statusDiagnostics()},
        {QStringLiteral("isRunning"), model.isRunning()},
        {QStringLiteral("isBusy"), model.isBusy()},
        {QStringLiteral("launchAtLoginEnabled"), model.launchAtLoginEnabled()},
        {QStringLiteral("transientMessage"), optionalText(model.transientMessage())},
        {QStringLiteral("language"), rawValue(model.language())},
        {QStringLiteral("setupChecks"), checksJson(model.setupChecks())},
        {QStringLiteral("connectivityChecks"), checksJson(model.connectivityChecks())},
        {QStringLiteral("latestActionOutput"), model.latestActionOutput()},
        {QStringLiteral("pairingSession"), pairingJson(model.pairingSession())},
        {QStringLiteral("currentPhoneSummary"), model.currentPhoneSummary()},
        {QStringLiteral("currentPairingSummary"), model.currentPairingSummary()},
        {QStringLiteral("hasLoadedDeepSetupChecks"), model.hasLoadedDeepSetupChecks()},
        {QStringLiteral("statusIcon"), model.statusIcon()},
        {QStringLiteral("latestActionSummary"), model.latestActionSummary()},
        {QStringLiteral("pairingExpiresText"), model.pairingExpiresText()},
        {QStringLiteral("appVersionText"), model.appVersionText()},
        {QStringLiteral("runtimeInstallButtonTitle"), model.runtimeInstallButtonTitle()},
        {QStringLiteral("primaryActionTitle"), model.primaryActionTitle()},
        {QStringLiteral("primaryActionSubtitle"), model.primaryActionSubtitle()},
        {QStringLiteral("isPairingConfigured"), model.isPairingConfigured()},
        {QStringLiteral("canCancelCurrentAction"), model.canCancelCurrentAction()},
        {QStringLiteral("downloadProgress"), progressJson(model.downloadProgress())},
    };
}

QString humanSummary(const ConnectorMenuBarModel& model, bool statusRead, bool outputShown) {
    QString text;
    const auto line = [&text](const QString& label, const QString& value) {
        text += label + QStringLiteral(": ") + value + QLatin1Char('\n');
    };
    line(QStringLiteral("Runtime"),
         model.runtimeRoot().isEmpty() ? QStringLiteral("(none)") : model.runtimeRoot());
    if (statusRead)
        line(QStringLiteral("Status"), model.statusSummary() + QStringLiteral(" — ") + model.statusDetail());
    else
        line(QStringLiteral("Status"), QStringLiteral("not read yet — `skerrin refresh` reads it"));
    if (model.transientMessage())
        line(QStringLiteral("Message"), *model.transientMessage());
    if (outputShown && !model.latestActionOutput().isEmpty()) {
        text += QStringLiteral("Output:\n");
        for (const QString& outputLine : model.latestActionOutput().split(QLatin1Char('\n')))
            text += QStringLiteral("  ") + outputLine + QLatin1Char('\n');
    }
    if (const auto& session = model.pairingSession())
        line(QStringLiteral("Pairing"),
             session->setupCode + QStringLiteral(" (") + model.pairingExpiresText() + QLatin1Char(')'));
    if (!model.currentPairingSummary().isEmpty())
        line(QStringLiteral("Paired installation"), model.currentPairingSummary());
    if (!model.currentPhoneSummary().isEmpty())
        line(QStringLiteral("Phone"), model.currentPhoneSummary());
    for (const SetupCheck& check : model.setupChecks() + model.connectivityChecks())
        line(QStringLiteral("  [") + (check.isReady ? QStringLiteral("ok") : QStringLiteral("--")) +
                 QStringLiteral("] ") + check.title,
             check.detail);
    line(QStringLiteral("Next step"),
         model.primaryActionTitle() + QStringLiteral(" — ") + model.primaryActionSubtitle());
    line(QStringLiteral("Launch at login"),
         model.launchAtLoginEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
    line(QStringLiteral("Version"), model.appVersionText());
    return text;
}

// On a terminal, the archive download's progress on standard error, one line rewritten in place.
void showDownloadProgress(const ConnectorMenuBarModel& model) {
    if (::isatty(STDERR_FILENO) != 1)
        return;
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [&model, shown = false]() mutable {
        const std::optional<TransferProgress>& progress = model.downloadProgress();
        if (!progress) {
            if (shown)
                std::fputs("\n", stderr);
            shown = false;
            return;
        }
        const double mib = double(progress->received) / (1024 * 1024);
        if (progress->total && *progress->total > 0)
            std::fprintf(stderr, "\rDownloading runtime: %.1f of %.1f MiB (%d%%)", mib,
                         double(*progress->total) / (1024 * 1024),
                         int(100 * progress->received / *progress->total));
        else
            std::fprintf(stderr, "\rDownloading runtime: %.1f MiB", mib);
        shown = true;
    });
    timer->start(200);
}

int runHeadless(const Command& command) {
    ConnectorMenuBarModel model(makePlatformServices());
    handleInterruptions(model, command);
    if (command.name == QLatin1String("install") || command.name == QLatin1String("primary"))
        showDownloadProgress(model);
    QCoro::Task<int> task = runCommand(model, command);
    int status = 0;
    task.then([&status, &model](int result) {
        status = result;
        // After an uninstall the model's own quit ends the event loop, once its half second is up.
        if (!model.isQuitScheduled())
            QCoreApplication::exit(result);
    });
    QCoreApplication::exec();
    return model.isQuitScheduled() ? g_printStatus : status;
}

} // namespace skerrin
