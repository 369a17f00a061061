// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"

#include <QLockFile>
#include <QString>

#include <memory>
#include <optional>

namespace skerrin {

// One watcher per user: a tray application and a headless watcher would otherwise both restart the
// service. A lock file in the user's runtime folder, with a note beside it saying who holds it.
class WatchLock {
public:
    enum class Role { tray, headless };
    enum class Outcome { acquired, held, failed };
    struct Holder {
        qint64 pid = 0;             // 0 when the lock's holder could not be read
        std::optional<Role> role{}; // absent when its note is missing or belongs to another holder
    };

    // $XDG_RUNTIME_DIR/<application id>.watch.lock, or empty without a runtime folder.
    static QString defaultPath();

    explicit WatchLock(QString path = defaultPath());
    ~WatchLock();
    WatchLock(const WatchLock&) = delete;
    WatchLock& operator=(const WatchLock&) = delete;

    // Never waits for the lock. A lock left by a process that is gone is taken over. Acquiring again
    // while this object holds it changes only the role.
    Outcome acquire(Role role);
    void release();
    bool isHeld() const { return m_held; }

    // After `held`: who holds the lock.
    const Holder& holder() const { return m_holder; }
    // After `failed`: why the lock could not be taken.
    const QString& failure() const { return m_failure; }

    const QString& path() const { return m_path; }

private:
    void readHolder();

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
    Holder m_holder;
    QString m_failure;
};

// "Already kept online by another Skerrin (pid 42, headless)." and the like.
QString describeWatchHolder(const WatchLock::Holder& holder, AppLanguage language);

} // namespace skerrin
