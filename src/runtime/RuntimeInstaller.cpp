// SPDX-License-Identifier: MIT
#include "runtime/RuntimeInstaller.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

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

// Swaps two existing paths in one step (Linux 3.15 and later); -1 with errno set otherwise.
#if defined(RENAME_EXCHANGE) // glibc 2.28 and later declare renameat2 with its flags
int exchangePaths(const char* first, const char* second) {
    return ::renameat2(AT_FDCWD, first, AT_FDCWD, second, RENAME_EXCHANGE);
}
#elif defined(SYS_renameat2)
int exchangePaths(const char* first, const char* second) {
    constexpr unsigned int exchange = 1U << 1; // RENAME_EXCHANGE of <linux/fs.h>
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, first, AT_FDCWD, second, exchange));
}
#else
int exchangePaths(const char*, const char*) {
    errno = ENOSYS;
    return -1;
}
#endif

// Anything at `path`, a dangling symbolic link included.
bool pathExists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

const QString kStagingPrefix = QStringLiteral(".brevant-runtime-staging-");
const QString kPreviousName = QStringLiteral(".previous");
const QString kRuntimeFolderName = QStringLiteral("brevant-runtime");

// The folder at `path` opened and locked without waiting. `busy` when someone else holds the lock or
// has just removed the folder; otherwise `fd` is -1 when there is no folder or its file system has
// no locks (then it counts as a folder nobody holds).
struct FolderLock {
    int fd = -1;
    bool busy = false;
};

FolderLock lockFolder(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return {-1, busy};
    }
    // The lock must be on the folder that is at `path` now, not on one removed meanwhile.
    struct stat held {};
    struct stat current {};
    if (::fstat(fd, &held) != 0 || ::lstat(name.constData(), &current) != 0 ||
        held.st_dev != current.st_dev || held.st_ino != current.st_ino) {
        ::close(fd);
        return {-1, true};
    }
    return {fd, false};
}

// The moment a path was last renamed or changed, to choose the newest of several.
qint64 changeTime(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
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

StagingFolder::~StagingFolder() {
    if (m_lock >= 0)
        ::close(m_lock);
}

Result<StagingFolder> makeStagingFolder(const QString& installRoot) {
    // Between its creation and its lock a new folder can be taken for a leftover by recovery in
    // another process, and removed; then another one is made.
    for (int attempt = 1;; ++attempt) {
        QByteArray pattern = QFile::encodeName(installRoot + QLatin1Char('/') + kStagingPrefix + "XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr)
            return posixError(errno);
        const QString path = QFile::decodeName(pattern);
        const FolderLock lock = lockFolder(path);
        if (!lock.busy && pathExists(path))
            return StagingFolder(path, lock.fd);
        if (lock.fd >= 0)
            ::close(lock.fd);
        if (attempt == 3)
            return posixError(EBUSY);
    }
}

void recoverInterruptedInstall(const QString& installRoot) {
    const QDir folder(installRoot);
    struct Leftover {
        QString path;
        int lock;
    };
    std::vector<Leftover> leftovers;
    for (const QString& name :
         folder.entryList({kStagingPrefix + QLatin1Char('*')},
                          QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot)) {
        const QString path = folder.filePath(name);
        const FolderLock lock = lockFolder(path);
        if (!lock.busy) // else a live install holds it
            leftovers.push_back({path, lock.fd});
    }

    // The root missing while an old one waits as .previous: a kill came between the two moves of
    // a swap. The newest such folder holds the root as it last was.
    QString keep;
    if (!pathExists(folder.filePath(kRuntimeFolderName))) {
        qint64 newest = -1;
        for (const Leftover& leftover : leftovers) {
            const QString previous = leftover.path + QLatin1Char('/') + kPreviousName;
            if (const qint64 changed = changeTime(previous); changed > newest) {
                newest = changed;
                keep = leftover.path;
            }
        }
        // If it cannot go back, it stays where it is rather than be removed with its folder.
        if (!keep.isEmpty() &&
            !renamePath(keep + QLatin1Char('/') + kPreviousName, folder.filePath(kRuntimeFolderName)))
            keep.clear();
    }
    for (const Leftover& leftover : leftovers) {
        if (leftover.path != keep)
            QDir(leftover.path).removeRecursively();
        if (leftover.lock >= 0)
            ::close(leftover.lock);
    }
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
    if (!pathExists(target))
        return renamePath(staged, target);
    const QByteArray stagedName = QFile::encodeName(staged);
    const QByteArray targetName = QFile::encodeName(target);
    if (exchangePaths(stagedName.constData(), targetName.constData()) == 0)
        return std::nullopt;
    if (const int code = errno; code != EINVAL && code != ENOSYS)
        return posixError(code);
    // The file system cannot exchange: two moves, with a window between them that
    // recoverInterruptedInstall closes after a kill.
    const QString previous = staging + QLatin1Char('/') + kPreviousName;
    if (auto failure = renamePath(target, previous))
        return failure;
    if (auto failure = renamePath(staged, target)) {
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
