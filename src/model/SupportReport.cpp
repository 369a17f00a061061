// SPDX-License-Identifier: MIT
#include "model/SupportReport.h"

#include "core/Text.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/SecretMask.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace skerrin {
namespace {

constexpr qint64 kLogTailBytes = 256 * 1024;

QString orNone(const QString& text) {
    return text.isEmpty() ? QStringLiteral("(none)") : text;
}

// A fence longer than any run of backticks inside, so no output can end the block early.
QString codeBlock(const QString& text) {
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c == u'`' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    const QString fence(std::max<qsizetype>(3, longest + 1), u'`');
    return fence + u'\n' + (text.isEmpty() ? QStringLiteral("(empty)") : text) + u'\n' + fence + u'\n';
}

QString checkLines(const QList<SetupCheck>& checks) {
    if (checks.isEmpty())
        return QStringLiteral("(not run)\n");
    QString text;
    for (const SetupCheck& check : checks)
        text += QStringLiteral("- [%1] %2 (`%3`): %4\n")
                    .arg(check.isReady ? QStringLiteral("ok") : QStringLiteral("--"), check.title, check.id,
                         QString(check.detail).replace(u'\n', u' '));
    return text;
}

QString trayText(const std::optional<bool>& tray) {
    if (!tray)
        return QStringLiteral("not looked for (command line)");
    return *tray ? QStringLiteral("yes") : QStringLiteral("no");
}

// The home folder as `~`, wherever it starts a path or stands alone.
QString withHomeAsTilde(QString text, const QString& home) {
    const QString clean = QString(home).remove(QRegularExpression(QStringLiteral("/+$")));
    if (clean.isEmpty())
        return text;
    static const QString kNameCharacter = QStringLiteral("(?![\\w.-])");
    return text.replace(QRegularExpression(QRegularExpression::escape(clean) + kNameCharacter),
                        QStringLiteral("~"));
}

} // namespace

QString lastLines(const QString& text, int count) {
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() > count)
        lines = lines.mid(lines.size() - count);
    return lines.join(u'\n');
}

std::optional<QString> connectorLogTail(const QString& runtimeRoot, int lines) {
    const QString path =
        runtimePath(runtimeRoot, RuntimeLayout::stateFolder + QStringLiteral("/connector.log"));
    // A regular file only: a FIFO or device there would block or never end.
    if (runtimeRoot.isEmpty() || !QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 start = std::max<qint64>(0, file.size() - kLogTailBytes);
    file.seek(start);
    QString text = QString::fromUtf8(file.read(kLogTailBytes));
    if (start > 0) // the first line is cut
        text = text.mid(text.indexOf(u'\n') + 1);
    return lastLines(text, lines);
}

QString supportReport(const SupportReportFacts& f, const SecretMask& mask) {
    QString text = QStringLiteral("# Skerrin support report\n\n");
    text += QStringLiteral("## Skerrin\n\n- Version: %1\n\n").arg(f.version);
    text += QStringLiteral("## System\n\n"
                           "- Operating system: %1\n"
                           "- Desktop (XDG_CURRENT_DESKTOP): %2\n"
                           "- Session type (XDG_SESSION_TYPE): %3\n"
                           "- Qt platform plugin: %4\n"
                           "- System tray: %5\n\n")
                .arg(f.operatingSystem, orNone(f.environment.desktop), orNone(f.environment.sessionType),
                     orNone(f.environment.qtPlatform), trayText(f.environment.trayAvailable));
    text +=
        QStringLiteral("## Runtime\n\n- Root: %1\n- Valid: %2\n\n")
            .arg(orNone(f.runtimeRoot), f.runtimeRootValid ? QStringLiteral("yes") : QStringLiteral("no"));
    text += QStringLiteral("## Status\n\n- Summary: [%1] %2\n- Detail: %3\n- Diagnostics:\n\n")
                .arg(f.isRunning ? QStringLiteral("running") : QStringLiteral("not running"), f.statusSummary,
                     f.statusDetail);
    text += codeBlock(f.statusDiagnostics) + u'\n';
    text += QStringLiteral("## Setup checks\n\n") + checkLines(f.setupChecks) + u'\n';
    text += QStringLiteral("## Connectivity checks\n\n") + checkLines(f.connectivityChecks) + u'\n';
    text += QStringLiteral("## Platform status\n\n- Phone: %1\n- Paired installation: %2\n\n")
                .arg(orNone(f.currentPhoneSummary), orNone(f.currentPairingSummary));
    text += QStringLiteral("## Last action\n\n");
    if (f.lastAction) {
        text +=
            QStringLiteral("- Script: %1\n- Exit status: %2\n- Message: %3\n- Output (last %4 lines):\n\n")
                .arg(orNone(f.lastAction->scriptPath.value_or(QString())),
                     QString::number(f.lastAction->exitStatus), orNone(f.lastMessage.value_or(QString())),
                     QString::number(kReportOutputLines));
        text += codeBlock(lastLines(f.latestActionOutput, kReportOutputLines)) + u'\n';
    } else {
        text += QStringLiteral("(no action run yet)\n\n");
    }
    text += QStringLiteral("## Connector log (last %1 lines)\n\n").arg(kReportLogLines);
    text += f.connectorLog ? codeBlock(lastLines(*f.connectorLog, kReportLogLines))
                           : QStringLiteral("(no state/connector.log)\n");
    return withHomeAsTilde(mask.apply(text), f.homePath);
}

} // namespace skerrin
