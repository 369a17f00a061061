// SPDX-License-Identifier: MIT
#include "model/DisplayTexts.h"

#include "diagnostics/EnvFile.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/Types.h"

#include <QLocale>

#include <unicode/locid.h>
#include <unicode/reldatefmt.h>

#include <cmath>

namespace skerrin {

QString lastLinesSummary(const QString& output) {
    const QStringList lines = splitLines(output);
    if (lines.isEmpty())
        return output;
    return lines.mid(std::max<qsizetype>(0, lines.size() - 12)).join(QLatin1Char('\n'));
}

QString relativeTimePhrase(const QDateTime& target, const QDateTime& now, const QString& localeName) {
    const double seconds = static_cast<double>(now.msecsTo(target)) / 1000.0;
    const double magnitude = std::fabs(seconds);
    // The largest unit that fits, as a platform date formatter in full style would choose.
    struct Unit {
        double seconds;
        URelativeDateTimeUnit unit;
    };
    static constexpr Unit units[] = {
        {365.0 * 86400, UDAT_REL_UNIT_YEAR}, {30.0 * 86400, UDAT_REL_UNIT_MONTH},
        {7.0 * 86400, UDAT_REL_UNIT_WEEK},   {86400, UDAT_REL_UNIT_DAY},
        {3600, UDAT_REL_UNIT_HOUR},          {60, UDAT_REL_UNIT_MINUTE},
    };
    double value = std::round(seconds);
    URelativeDateTimeUnit unit = UDAT_REL_UNIT_SECOND;
    for (const Unit& candidate : units) {
        if (magnitude >= candidate.seconds) {
            value = std::trunc(seconds / candidate.seconds);
            unit = candidate.unit;
            break;
        }
    }

    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale(localeName.toUtf8().constData());
    icu::RelativeDateTimeFormatter formatter(locale, nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_NONE,
                                             status);
    icu::UnicodeString phrase;
    if (U_SUCCESS(status))
        formatter.formatNumeric(value, unit, phrase, status);
    if (U_FAILURE(status))
        return {};
    return QString(reinterpret_cast<const QChar*>(phrase.getBuffer()), phrase.length());
}

QString versionAndBuild(const QString& shortVersion, const QString& build) {
    const QString s = trimmed(shortVersion);
    const QString b = trimmed(build);
    if (s.isEmpty())
        return b;
    if (b.isEmpty())
        return s;
    return s + QStringLiteral(" (") + b + QLatin1Char(')');
}

QString ConnectorMenuBarModel::statusIcon() const {
    if (m_isBusy)
        return StatusIcon::busy;
    return m_isRunning ? StatusIcon::running : StatusIcon::stopped;
}

QString ConnectorMenuBarModel::latestActionSummary() const {
    return lastLinesSummary(m_latestActionOutput);
}

QString ConnectorMenuBarModel::pairingExpiresText() const {
    if (!m_pairingSession || !m_pairingSession->expiresAt)
        return ui(QStringLiteral("Expires soon"), QStringLiteral("即将过期"));
    const QString phrase = relativeTimePhrase(*m_pairingSession->expiresAt, QDateTime::currentDateTimeUtc(),
                                              QLocale::system().name());
    return ui(QStringLiteral("Expires ") + phrase, phrase + QStringLiteral("后过期"));
}

QString ConnectorMenuBarModel::appVersionText() const {
    const QString text = versionAndBuild(appInfo().shortVersion(), appInfo().buildNumber());
    return text.isEmpty() ? ui(QStringLiteral("Version unavailable"), QStringLiteral("版本未知")) : text;
}

QString ConnectorMenuBarModel::runtimeInstallButtonTitle() const {
    return validRuntimeRoot(m_runtimeRoot)
               ? ui(QStringLiteral("Use Standard Runtime"), QStringLiteral("使用标准 Runtime"))
               : ui(QStringLiteral("Install Runtime"), QStringLiteral("安装 Runtime"));
}

QString ConnectorMenuBarModel::primaryActionTitle() const {
    if (!validRuntimeRoot(m_runtimeRoot))
        return ui(QStringLiteral("Install Runtime"), QStringLiteral("安装 Runtime"));
    if (!isPairingConfigured())
        return ui(QStringLiteral("Pair This Mac"), QStringLiteral("配对这台 Mac"));
    return m_isRunning ? ui(QStringLiteral("Refresh Status"), QStringLiteral("刷新状态"))
                       : ui(QStringLiteral("Keep Online"), QStringLiteral("恢复在线"));
}

QString ConnectorMenuBarModel::primaryActionSubtitle() const {
    if (!validRuntimeRoot(m_runtimeRoot))
        return ui(QStringLiteral("Install the desktop runtime first."),
                  QStringLiteral("先安装桌面 Runtime。"));
    if (!isPairingConfigured())
        return ui(
            QStringLiteral("Pair once, then the desktop service should keep running in the background."),
            QStringLiteral("先配对一次，之后桌面服务会在后台保持运行。"));
    return ui(QStringLiteral("The desktop app should keep the service alive in the background."),
              QStringLiteral("桌面 App 会在后台尽量保持服务在线。"));
}

} // namespace skerrin
