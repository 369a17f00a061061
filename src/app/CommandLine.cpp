// SPDX-License-Identifier: MIT
#include "app/CommandLine.h"

#include "app/CommandTable.h"
#include "model/ActionRunner.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/DesktopService.h"
#include "model/Diagnostics.h"
#include "model/Installer.h"
#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "model/ModelSettings.h"
#include "model/Pairing.h"
#include "model/PrimaryAction.h"
#include "model/Refresher.h"
#include "model/RuntimeLocation.h"
#include "model/SupportReport.h"
#include "platform/TerminationSignals.h"
#include "process/ProcessRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <QCoroSignal>
#include <QCoroTask>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace skerrin {
namespace {

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

bool ok(const ConnectorMenuBarModel& model) {
    const std::optional<ActionOutcome>& outcome = model.actions().lastOutcome();
    return !outcome || outcome->ok();
}

// Prints the state, then a failed action's reason on standard error. 0; 1 when the action failed,
// the state could not be written or a setting was not saved.
int printState(const ConnectorMenuBarModel& model, const Command& command) {
    const QByteArray text =
        command.json ? QJsonDocument(modelSnapshot(model)).toJson(QJsonDocument::Indented)
                     : humanSummary(model, command.spec->readsStatus, command.spec->showsOutput).toUtf8();
    int status = 0;
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "skerrin: could not write the state to standard output: %s\n",
                     std::strerror(errno));
        status = 1;
    }
    if (!ok(model)) {
        std::fprintf(stderr, "skerrin: %s\n", qPrintable(model.actions().lastOutcome()->message));
        status = 1;
    }
    if (const std::optional<QString>& failure = model.settings().saveFailure()) {
        std::fprintf(stderr, "Could not save settings to %s: %s\n", qPrintable(model.settings().location()),
                     qPrintable(*failure));
        status = 1;
    }
    return status;
}

// The support report on standard output: 0, or 1 when it could not be written.
int printReport(const ConnectorMenuBarModel& model) {
    const ReportEnvironment environment{qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                                        qEnvironmentVariable("XDG_SESSION_TYPE"),
                                        QStringLiteral("none (command line)"), std::nullopt};
    const QByteArray text = model.maintenance().supportReport(environment).toUtf8();
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "skerrin: could not write the report to standard output: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}

// One headless command from the first refresh pass to its exit status.
class HeadlessRun : public QObject {
public:
    HeadlessRun(ConnectorMenuBarModel& model, const Command& command) : m_model(model), m_command(command) {}

    // SIGINT and SIGTERM end the runs that may be ended (the status script, the Codex probe) and
    // cancel a cancellable action, which then runs to its end, refreshes included, so the state shows
    // "Action cancelled.". Start and stop scripts finish, so that the service they launch survives,
    // and nothing more runs after them. A second signal ends the process as the signal would.
    void interrupt(int number) {
        if (m_interruption != 0) {
            std::signal(number, SIG_DFL);
            std::raise(number);
            return;
        }
        m_interruption = number;
        endLimitedRuns();
        m_model.refresher().stopLoop(); // a watcher in the foreground ends here
        if (m_model.actions().canCancelCurrentAction())
            m_model.actions().cancelCurrentAction();
        else
            m_model.actions().windDown();
    }

    QCoro::Task<int> run() {
        if (!m_model.refresher().hasFinishedFirstRefreshPass())
            co_await qCoro(&m_model.refresher(), &Refresher::firstRefreshPassFinished);
        if (m_interruption == 0) {
            QCoro::Task<> operation = m_command.spec->run(m_model, m_command.argument);
            co_await std::move(operation);
        }
        co_await m_model.refresher().cancelRefreshLoop();
        // A watcher in the foreground has said everything in its lines.
        const bool watched =
            m_command.spec->argument == CommandArgument::optionalOnOff && m_command.argument.isEmpty();
        const int status = watched                        ? 0
                           : m_command.spec->printsReport ? printReport(m_model)
                                                          : printState(m_model, m_command);
        // After an uninstall the application ends when the model asks, half a second later.
        if (m_model.maintenance().isQuitScheduled())
            co_await qCoro(&m_model.maintenance(), &Maintenance::quitRequested);
        co_return m_interruption != 0 ? 128 + m_interruption : status;
    }

private:
    ConnectorMenuBarModel& m_model;
    const Command& m_command;
    int m_interruption = 0;
};

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
    const QString name = positional.takeFirst();
    for (const CommandSpec& spec : commandTable()) {
        if (name != QLatin1String(spec.name))
            continue;
        command.spec = &spec;
        const qsizetype fewest =
            spec.argument == CommandArgument::none || spec.argument == CommandArgument::optionalOnOff ? 0 : 1;
        const qsizetype most = spec.argument == CommandArgument::none ? 0 : 1;
        if (positional.size() < fewest || positional.size() > most)
            return std::nullopt;
        command.argument = positional.value(0);
        switch (spec.argument) {
        case CommandArgument::none:
            break;
        case CommandArgument::path:
            if (command.argument.isEmpty())
                return std::nullopt;
            // As the folder chooser would give it: absolute and clean, whatever the current folder.
            command.argument = QDir::cleanPath(QDir::current().absoluteFilePath(command.argument));
            break;
        case CommandArgument::language:
            if (!appLanguageFromRaw(command.argument))
                return std::nullopt;
            break;
        case CommandArgument::onOff:
        case CommandArgument::optionalOnOff:
            if (positional.isEmpty())
                break;
            if (command.argument != QLatin1String("on") && command.argument != QLatin1String("off"))
                return std::nullopt;
            break;
        }
        return command;
    }
    return std::nullopt;
}

QString usageText() {
    QString text =
        QStringLiteral("usage: skerrin [--windowed]\n"
                       "       skerrin COMMAND [ARG] [--json]\n"
                       "\n"
                       "Without a command Skerrin starts in the tray, or with --windowed as an\n"
                       "ordinary window. A command runs headless: no display is needed. It exits 0\n"
                       "when its action succeeded, 1 when it failed (the reason on standard error).\n"
                       "\n"
                       "commands:\n");
    for (const CommandSpec& spec : commandTable()) {
        QString head = QLatin1String(spec.name);
        switch (spec.argument) {
        case CommandArgument::none:
            break;
        case CommandArgument::path:
            head += QStringLiteral(" PATH");
            break;
        case CommandArgument::language:
            head += QStringLiteral(" en|zh-Hans");
            break;
        case CommandArgument::onOff:
            head += QStringLiteral(" on|off");
            break;
        case CommandArgument::optionalOnOff:
            head += QStringLiteral(" [on|off]");
            break;
        }
        text += QStringLiteral("  ") + head.leftJustified(20) +
                (head.size() < 20 ? QStringLiteral("") : QStringLiteral("\n") + QString(22, u' ')) +
                QLatin1String(spec.help) + QLatin1Char('\n');
    }
    return text + QStringLiteral("\n  --json              print the state as one JSON object\n");
}

QJsonObject modelSnapshot(const ConnectorMenuBarModel& model) {
    const ActionRunner& actions = model.actions();
    const DesktopService& service = model.service();
    const Pairing& pairing = model.pairing();
    const Diagnostics& diagnostics = model.diagnostics();
    return QJsonObject{
        {QStringLiteral("ok"), ok(model)},
        {QStringLiteral("runtimeRoot"), model.location().runtimeRoot()},
        {QStringLiteral("statusSummary"), service.statusSummary()},
        {QStringLiteral("statusDetail"), service.statusDetail()},
        {QStringLiteral("statusDiagnostics"), service.statusDiagnostics()},
        {QStringLiteral("isRunning"), service.isRunning()},
        {QStringLiteral("isBusy"), actions.isBusy()},
        {QStringLiteral("launchAtLoginEnabled"), model.maintenance().launchAtLoginEnabled()},
        {QStringLiteral("transientMessage"), optionalText(actions.transientMessage())},
        {QStringLiteral("language"), rawValue(model.language().language())},
        {QStringLiteral("setupChecks"), checksJson(diagnostics.setupChecks())},
        {QStringLiteral("connectivityChecks"), checksJson(diagnostics.connectivityChecks())},
        {QStringLiteral("latestActionOutput"), actions.latestActionOutput()},
        {QStringLiteral("pairingSession"), pairingJson(pairing.pairingSession())},
        {QStringLiteral("currentPhoneSummary"), pairing.currentPhoneSummary()},
        {QStringLiteral("currentPairingSummary"), pairing.currentPairingSummary()},
        {QStringLiteral("hasLoadedDeepSetupChecks"), diagnostics.hasLoadedDeepSetupChecks()},
        {QStringLiteral("statusIcon"), statusIconName(service.statusIcon())},
        {QStringLiteral("latestActionSummary"), actions.latestActionSummary()},
        {QStringLiteral("pairingExpiresText"), pairing.pairingExpiresText()},
        {QStringLiteral("appVersionText"), model.maintenance().appVersionText()},
        {QStringLiteral("runtimeInstallButtonTitle"), model.installer().runtimeInstallButtonTitle()},
        {QStringLiteral("primaryActionTitle"), model.primary().primaryActionTitle()},
        {QStringLiteral("primaryActionSubtitle"), model.primary().primaryActionSubtitle()},
        {QStringLiteral("isPairingConfigured"), model.location().isPairingConfigured()},
        {QStringLiteral("canCancelCurrentAction"), actions.canCancelCurrentAction()},
        {QStringLiteral("downloadProgress"), progressJson(model.installer().downloadProgress())},
    };
}

QString humanSummary(const ConnectorMenuBarModel& model, bool statusRead, bool outputShown) {
    QString text;
    const auto line = [&text](const QString& label, const QString& value) {
        text += label + QStringLiteral(": ") + value + QLatin1Char('\n');
    };
    line(QStringLiteral("Runtime"), model.location().runtimeRoot().isEmpty()
                                        ? QStringLiteral("(none)")
                                        : model.location().runtimeRoot());
    if (statusRead)
        line(QStringLiteral("Status"),
             model.service().statusSummary() + QStringLiteral(" — ") + model.service().statusDetail());
    else
        line(QStringLiteral("Status"), QStringLiteral("not read yet — `skerrin refresh` reads it"));
    if (model.actions().transientMessage())
        line(QStringLiteral("Message"), *model.actions().transientMessage());
    if (outputShown && !model.actions().latestActionOutput().isEmpty()) {
        text += QStringLiteral("Output:\n");
        for (const QString& outputLine : model.actions().latestActionOutput().split(QLatin1Char('\n')))
            text += QStringLiteral("  ") + outputLine + QLatin1Char('\n');
    }
    if (const auto& session = model.pairing().pairingSession())
        line(QStringLiteral("Pairing"), session->setupCode + QStringLiteral(" (") +
                                            model.pairing().pairingExpiresText() + QLatin1Char(')'));
    if (!model.pairing().currentPairingSummary().isEmpty())
        line(QStringLiteral("Paired installation"), model.pairing().currentPairingSummary());
    if (!model.pairing().currentPhoneSummary().isEmpty())
        line(QStringLiteral("Phone"), model.pairing().currentPhoneSummary());
    for (const SetupCheck& check :
         model.diagnostics().setupChecks() + model.diagnostics().connectivityChecks())
        line(QStringLiteral("  [") + (check.isReady ? QStringLiteral("ok") : QStringLiteral("--")) +
                 QStringLiteral("] ") + check.title,
             check.detail);
    line(QStringLiteral("Next step"), model.primary().primaryActionTitle() + QStringLiteral(" — ") +
                                          model.primary().primaryActionSubtitle());
    line(QStringLiteral("Launch at login"),
         model.maintenance().launchAtLoginEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
    line(QStringLiteral("Version"), model.maintenance().appVersionText());
    return text;
}

// On a terminal, the archive download's progress on standard error, one line rewritten in place.
void showDownloadProgress(const ConnectorMenuBarModel& model) {
    if (::isatty(STDERR_FILENO) != 1)
        return;
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [&model, shown = false]() mutable {
        const std::optional<TransferProgress>& progress = model.installer().downloadProgress();
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
    HeadlessRun headless(model, command);
    onTerminationSignals(&headless, [&headless](int number) { headless.interrupt(number); });
    if (command.spec->showsDownload)
        showDownloadProgress(model);
    QCoro::Task<int> task = headless.run();
    int status = 0;
    task.then([&status](int result) {
        status = result;
        QCoreApplication::exit(result);
    });
    QCoreApplication::exec();
    return status;
}

} // namespace skerrin
