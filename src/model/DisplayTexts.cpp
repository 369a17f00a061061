// SPDX-License-Identifier: MIT
#include "model/DisplayTexts.h"

#include "core/Text.h"

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

QString expiresText(AppLanguage language, const QString& relativePhrase) {
    const QString chinese = relativePhrase.endsWith(u'后') ? relativePhrase + QStringLiteral("过期")
                                                           : relativePhrase + QStringLiteral("后过期");
    return ui(language, QStringLiteral("Expires ") + relativePhrase, chinese);
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

} // namespace skerrin
