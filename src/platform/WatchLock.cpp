// SPDX-License-Identifier: MIT
#include "platform/WatchLock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

namespace skerrin {
namespace {

constexpr auto kUserOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString noteFile(const QString& lockPath) {
    return lockPath + QStringLiteral(".holder");
}

QByteArray roleName(WatchLock::Role role) {
    return role == WatchLock::Role::tray ? QByteArrayLiteral("tray") : QByteArrayLiteral("headless");
}

std::optional<WatchLock::Role> roleFromName(const QByteArray& name) {
    if (name == roleName(WatchLock::Role::tray))
        return WatchLock::Role::tray;
    if (name == roleName(WatchLock::Role::headless))
        return WatchLock::Role::headless;
    return std::nullopt;
}

} // namespace

QString WatchLock::defaultPath() {
    // Not /tmp: the runtime folder is the user's own, and emptied at every boot.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/" SKERRIN_APP_ID ".watch.lock");
}

WatchLock::WatchLock(QString path) : m_path(std::move(path)) {}

WatchLock::~WatchLock() {
    release();
}

WatchLock::Outcome WatchLock::acquire(Role role) {
    m_holder = {};
    m_failure.clear();
    if (m_path.isEmpty()) {
        m_failure = QStringLiteral("there is no runtime folder for the lock");
        return Outcome::failed;
    }
    if (!m_held) {
        m_lock = std::make_unique<QLockFile>(m_path);
        // Stale only when its holder is gone, however long it has watched.
        m_lock->setStaleLockTime(0);
        if (!m_lock->tryLock(0)) {
            const QLockFile::LockError error = m_lock->error();
            m_lock.reset();
            if (error == QLockFile::LockFailedError) {
                readHolder();
                return Outcome::held;
            }
            m_failure =
                QStringLiteral("cannot create %1: %2")
                    .arg(m_path, error == QLockFile::PermissionError ? QStringLiteral("permission denied")
                                                                     : QStringLiteral("unknown error"));
            return Outcome::failed;
        }
        QFile::setPermissions(m_path, kUserOnly);
        m_held = true;
    }
    // Only the holder writes the note, so whoever reads it with the holder's pid reads the holder's role.
    QSaveFile note(noteFile(m_path));
    if (note.open(QIODevice::WriteOnly)) {
        note.setPermissions(kUserOnly);
        note.write(QByteArray::number(QCoreApplication::applicationPid()) + ' ' + roleName(role) + '\n');
        note.commit();
    }
    return Outcome::acquired;
}

void WatchLock::release() {
    if (!m_held)
        return;
    // The note goes first, so it never outlives the lock it speaks for.
    QFile::remove(noteFile(m_path));
    m_lock.reset();
    m_held = false;
}

void WatchLock::readHolder() {
    QLockFile lock(m_path);
    qint64 pid = 0;
    QString host, app;
    // The holder may have created the file and not yet written its pid into it.
    const QDeadlineTimer deadline(200);
    while (!lock.getLockInfo(&pid, &host, &app) && !deadline.hasExpired())
        QThread::msleep(10);
    m_holder.pid = pid;
    QFile file(noteFile(m_path));
    if (pid <= 0 || !file.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> note = file.readLine(64).trimmed().split(' ');
    if (note.size() == 2 && note[0].toLongLong() == pid)
        m_holder.role = roleFromName(note[1]);
}

QString describeWatchHolder(const WatchLock::Holder& holder, AppLanguage language) {
    if (holder.pid <= 0)
        return ui(language, QStringLiteral("Already kept online by another Skerrin."),
                  QStringLiteral("已由另一个 Skerrin 保持在线。"));
    QString who = QStringLiteral("pid %1").arg(holder.pid);
    if (holder.role == WatchLock::Role::tray)
        who += ui(language, QStringLiteral(", tray"), QStringLiteral("，托盘"));
    else if (holder.role == WatchLock::Role::headless)
        who += ui(language, QStringLiteral(", headless"), QStringLiteral("，无界面"));
    return ui(language, QStringLiteral("Already kept online by another Skerrin (%1)."),
              QStringLiteral("已由另一个 Skerrin 保持在线（%1）。"))
        .arg(who);
}

} // namespace skerrin
