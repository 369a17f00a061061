// SPDX-License-Identifier: MIT
#pragma once

#include "core/Result.h"
#include "process/ProcessRunner.h"
#include "runtime/RuntimeManifest.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>

#include <optional>

namespace skerrin {

// "brevant-runtime-" + an upper-case UUID + ".tar.gz" in the system's temporary folder.
QString temporaryArchivePath();

// Writes the archive as it arrives and hashes it in the same pass.
class ArchiveWriter {
public:
    explicit ArchiveWriter(const QString& path) : m_file(path) {}
    // Each gives the file error's description on failure.
    std::optional<QString> open();
    std::optional<QString> append(const QByteArray& piece);
    std::optional<QString> finish();
    void discard(); // closes and removes what was written
    // 64 lower-case hex digits.
    QString hexDigest() const { return QString::fromLatin1(m_hash.result().toHex()); }

private:
    QFile m_file;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
};

// A new, empty folder inside installRoot for the archive to unpack into, so that the runtime in
// place is replaced only once the new one has proved valid.
Result<QString> makeStagingFolder(const QString& installRoot);

// tar run of `archive` into `folder`.
ProcessSpec runtimeExtraction(const QString& archive, const QString& folder, CancelHandle cancel);

// Puts `staged` at `target` by moves within one file system: the old folder is moved aside into
// `staging`, the new one moved in, and the old one put back if that fails.
std::optional<Error> replaceFolder(const QString& staged, const QString& target, const QString& staging);

// Moves every entry of `staging` except those named in `keep` into `installRoot`, replacing what
// is there: what the archive put beside the runtime. Best effort.
void moveOtherEntries(const QString& staging, const QString& installRoot, const QStringList& keep);

} // namespace skerrin
