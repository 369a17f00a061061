// SPDX-License-Identifier: MIT
#pragma once

#include "diagnostics/SetupCheck.h"
#include "model/ActionRunner.h"

#include <QList>
#include <QString>

#include <optional>

namespace skerrin {

class SecretMask;

// What only the caller knows: the desktop it runs in and what the GUI found there.
struct ReportEnvironment {
    QString desktop;                   // XDG_CURRENT_DESKTOP
    QString sessionType;               // XDG_SESSION_TYPE
    QString qtPlatform;                // the Qt platform plugin, or "none (command line)"
    std::optional<bool> trayAvailable; // absent when nothing looked (the command line)
};

// Everything a support report says, gathered from the controllers.
struct SupportReportFacts {
    QString version;
    QString operatingSystem;
    ReportEnvironment environment;
    QString runtimeRoot;
    bool runtimeRootValid = false;
    QString statusSummary;
    QString statusDetail;
    QString statusDiagnostics;
    bool isRunning = false;
    QList<SetupCheck> setupChecks;
    QList<SetupCheck> connectivityChecks;
    QString currentPhoneSummary;
    QString currentPairingSummary;
    std::optional<LastAction> lastAction;
    std::optional<QString> lastMessage;
    QString latestActionOutput;
    std::optional<QString> connectorLog; // absent when the runtime has none
    QString homePath;
};

inline constexpr int kReportOutputLines = 200;
inline constexpr int kReportLogLines = 50;

// One Markdown report for a support request: secrets masked by `mask`, the home folder as `~`.
QString supportReport(const SupportReportFacts& facts, const SecretMask& mask);

// The last `count` lines of `text`.
QString lastLines(const QString& text, int count);

// The tail of <root>/state/connector.log (its last 256 KiB at most), absent when there is none.
std::optional<QString> connectorLogTail(const QString& runtimeRoot, int lines);

} // namespace skerrin
