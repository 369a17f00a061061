// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace skerrin {

// The platform's runtime manifest: where the runtime archive is, and its digest when given.
struct RuntimeManifest {
    QString tarballUrl;
    std::optional<QString> sha256; // absent when the member is missing or null
};

// tarball_url a required string, sha256_tar_gz an optional string; any other member ignored.
// Fails with the decoder's own wording, whatever the body is (an HTML error page included).
Result<RuntimeManifest> decodeRuntimeManifest(const QByteArray& body);

} // namespace skerrin
