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
#include <utility>

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

// A staging folder, marked as in use for as long as this object lives: it holds an advisory lock
// on the folder, which the kernel drops however the process ends. So recovery in any process can
// tell a live install's folder from one an interrupted install left behind.
class StagingFolder {
public:
    StagingFolder(QString path, int lock) : m_path(std::move(path)), m_lock(lock) {}
    StagingFolder(StagingFolder&& other) noexcept
        : m_path(other.m_path), m_lock(std::exchange(other.m_lock, -1)) {}
    StagingFolder& operator=(StagingFolder&&) = delete;
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    ~StagingFolder();
    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_lock;
};

// A new, empty, locked folder ".brevant-runtime-staging-XXXXXX" inside installRoot for the archive
// to unpack into, so that the runtime in place is replaced only once the new one has proved valid.
Result<StagingFolder> makeStagingFolder(const QString& installRoot);

// Undoes what an install killed part-way left in installRoot: when the runtime root is missing and
// a staging folder holds the old runtime as ".previous" (moved aside, the new one not yet moved
// in), the old runtime goes back; then every staging folder no live install holds is removed,
// with the old runtime and its relay token that a finished swap left in one. Best effort; called
// before every install and once when the tray application starts.
void recoverInterruptedInstall(const QString& installRoot);

// tar run of `archive` into `folder`.
ProcessSpec runtimeExtraction(const QString& archive, const QString& folder, CancelHandle cancel);

// Puts `staged` at `target`. When `target` exists the two are exchanged in one atomic step, so
// the old folder ends up at `staged`; where the file system cannot exchange, the old folder is
// moved aside to `staging`/.previous, the new one moved in, and the old one put back if that fails
// (recoverInterruptedInstall covers a kill between the two moves).
std::optional<Error> replaceFolder(const QString& staged, const QString& target, const QString& staging);

// Moves every entry of `staging` except those named in `keep` into `installRoot`, replacing what
// is there: what the archive put beside the runtime. Best effort.
void moveOtherEntries(const QString& staging, const QString& installRoot, const QStringList& keep);

} // namespace skerrin
