// SPDX-License-Identifier: MIT
#include "runtime/RuntimeManifest.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace skerrin {
namespace {

// The platform decoder's descriptions, so that a bad manifest reads as it always has.
const QString kNotInCorrectFormat =
    QStringLiteral("The data couldn’t be read because it isn’t in the correct format.");
const QString kMissing = QStringLiteral("The data couldn’t be read because it is missing.");

} // namespace

Result<RuntimeManifest> decodeRuntimeManifest(const QByteArray& body) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return error(kNotInCorrectFormat);
    const QJsonObject object = document.object();
    const QJsonValue tarball = object.value(QLatin1String("tarball_url"));
    if (tarball.isUndefined() || tarball.isNull())
        return error(kMissing);
    if (!tarball.isString())
        return error(kNotInCorrectFormat);
    RuntimeManifest manifest{tarball.toString(), std::nullopt};
    const QJsonValue digest = object.value(QLatin1String("sha256_tar_gz"));
    if (digest.isString())
        manifest.sha256 = digest.toString();
    else if (!digest.isUndefined() && !digest.isNull())
        return error(kNotInCorrectFormat);
    return manifest;
}

} // namespace skerrin
