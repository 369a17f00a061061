// SPDX-License-Identifier: MIT
#include "pairing/PairingSession.h"

#include "core/BoundedFile.h"
#include "core/Text.h"
#include "runtime/RuntimeLayout.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace skerrin {
namespace {

// Far larger than any session file; a runaway file is treated as unreadable rather than loaded.
constexpr qint64 kMaxSessionFileSize = kMiB;

} // namespace

std::optional<QDateTime> parseInternetDateTime(const QString& text) {
    static const QRegularExpression form(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})[Tt](\d{2}):(\d{2}):(\d{2})(?:([Zz])|([+-])(\d{2}):(\d{2}))$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    int offsetSeconds = 0;
    if (match.captured(7).isEmpty()) {
        const int hours = match.captured(9).toInt();
        const int minutes = match.captured(10).toInt();
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        offsetSeconds = (hours * 3600 + minutes * 60) * (match.captured(8) == QLatin1String("-") ? -1 : 1);
    }
    return QDateTime(date, time, Qt::OffsetFromUTC, offsetSeconds).toUTC();
}

std::optional<PairingSessionFile> decodePairingSession(const QByteArray& bytes) {
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    const QJsonValue codeValue = object.value(QStringLiteral("setup_code"));
    const QString code = codeValue.isString() ? trimmed(codeValue.toString()) : QString();
    if (code.isEmpty())
        return std::nullopt;
    const QJsonValue expiryValue = object.value(QStringLiteral("expires_at"));
    return PairingSessionFile{
        code, expiryValue.isString() ? parseInternetDateTime(trimmed(expiryValue.toString())) : std::nullopt};
}

std::optional<PairingSessionState> readPairingSession(const QString& runtimeRoot, const QDateTime& now) {
    const std::optional<QByteArray> bytes =
        readRegularFile(runtimePath(runtimeRoot, RuntimeLayout::pairingSessionFile), kMaxSessionFileSize);
    const std::optional<PairingSessionFile> session = bytes ? decodePairingSession(*bytes) : std::nullopt;
    if (!session || (session->expiresAt && *session->expiresAt < now))
        return std::nullopt;
    const QString qrPath = runtimePath(runtimeRoot, RuntimeLayout::pairingQrImage);
    if (!QFileInfo::exists(qrPath))
        return std::nullopt;
    return PairingSessionState{session->setupCode, session->expiresAt, qrPath};
}

} // namespace skerrin
