// SPDX-License-Identifier: MIT
#include "runtime/RuntimeInstaller.h"

#include <QDir>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace skerrin {
namespace {

Error posixError(int code) {
    return Error{QStringLiteral("POSIX"), code, QString::fromLocal8Bit(std::strerror(code))};
}

std::optional<Error> renamePath(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return posixError(errno);
    return std::nullopt;
}

} // namespace

QString temporaryArchivePath() {
    return QDir::tempPath() + QStringLiteral("/brevant-runtime-") +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".tar.gz");
}

std::optional<QString> ArchiveWriter::open() {
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return m_file.errorString();
    return std::nullopt;
}

std::optional<QString> ArchiveWriter::append(const QByteArray& piece) {
    m_hash.addData(piece);
    if (m_file.write(piece) != piece.size())
        return m_file.errorString();
    return std::nullopt;
}

std::optional<QString> ArchiveWriter::finish() {
    if (!m_file.flush())
        return m_file.errorString();
    m_file.close();
    return std::nullopt;
}

void ArchiveWriter::discard() {
    m_file.close();
    m_file.remove();
}

Result<QString> makeStagingFolder(const QString& installRoot) {
    QByteArray pattern = QFile::encodeName(installRoot + QStringLiteral("/.brevant-runtime-staging-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr)
        return posixError(errno);
    return QFile::decodeName(pattern);
}

ProcessSpec runtimeExtraction(const QString& archive, const QString& folder, CancelHandle cancel) {
    // GNU tar's own defaults keep every member inside `folder`: it strips a leading "/" from member
    // and link names, skips members whose names contain "..", and creates a symbolic link whose
    // target is absolute or climbs with ".." only after all else is extracted (a placeholder file
    // stands in until then), so no later member is written through it. -P would switch all of that
    // off and is never given. --no-same-owner: files belong to the user even when run as root.
    ProcessSpec spec{
        QStringLiteral("/usr/bin/tar"),
        {QStringLiteral("-xzf"), archive, QStringLiteral("-C"), folder, QStringLiteral("--no-same-owner")}};
    spec.cancel = std::move(cancel);
    return spec;
}

std::optional<Error> replaceFolder(const QString& staged, const QString& target, const QString& staging) {
    const QString previous = staging + QStringLiteral("/.previous");
    const bool hadPrevious = QFileInfo::exists(target) || QFileInfo(target).isSymLink();
    if (hadPrevious) {
        if (auto failure = renamePath(target, previous))
            return failure;
    }
    if (auto failure = renamePath(staged, target)) {
        if (hadPrevious)
            (void)renamePath(previous, target);
        return failure;
    }
    return std::nullopt;
}

void moveOtherEntries(const QString& staging, const QString& installRoot, const QStringList& keep) {
    const QDir from(staging);
    for (const QString& name :
         from.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (keep.contains(name))
            continue;
        const QString target = installRoot + QLatin1Char('/') + name;
        const QFileInfo existing(target);
        if (existing.isDir() && !existing.isSymLink())
            QDir(target).removeRecursively();
        else if (existing.exists() || existing.isSymLink())
            QFile::remove(target);
        (void)renamePath(from.filePath(name), target);
    }
}

} // namespace skerrin
