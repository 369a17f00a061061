// SPDX-License-Identifier: MIT
#pragma once

#include "model/KeepOnlineWatch.h"
#include "model/Published.h"
#include "platform/WatchLock.h"

#include <QCoroTask>

#include <optional>

namespace skerrin {

class ActionRunner;
class DesktopNotifier;
class DesktopService;
class Installer;
class LanguageChoice;
class ModelSettings;
class Pairing;

// Keeps the desktop service online: the setting, the look every status period that recovers a
// service found offline (with its back-off and the user's pause), and the desktop notifications.
// Only one process per user watches; the tray watches while the setting is on, `skerrin watch`
// always, and a plain command never.
class ServiceWatcher : public Published {
    Q_OBJECT

public:
    struct Parts {
        ActionRunner& actions;
        DesktopService& service;
        Installer& installer;
        Pairing& pairing;
        ModelSettings& settings;
        const LanguageChoice& language;
        DesktopNotifier* notifier;
    };
    enum class Mode { off, tray, headless };

    explicit ServiceWatcher(Parts parts, QObject* parent = nullptr);
    ~ServiceWatcher() override;

    bool keepServiceOnline() const { return m_keepServiceOnline; }
    // Why watching does nothing now ("Paused until you start the service."), or empty.
    const QString& settingNote() const { return m_settingNote; }
    bool isWatching() const { return m_lock && m_lock->isHeld(); }
    KeepOnlineWatch& policy() { return m_policy; }

    void setKeepServiceOnline(bool enabled);
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    void setPanelVisible(bool visible) { m_policy.setPanelVisible(visible); }
    // One look: the stored setting and pause, the status, and a recovery when the policy says so.
    QCoro::Task<> look();

signals:
    // What happened, for the headless watcher's lines: an event name and the status at that moment.
    void event(const QString& name, const QString& detail);

private:
    friend class ModelSeed;

    QCoro::Task<> lookOnce();
    void readSetting();
    void notePause();
    bool shouldWatch() const;
    void updateLock();
    void statusRead();
    void send(const std::optional<WatchNotice>& notice);
    void setSettingNote(QString note);

    Parts m_parts;
    KeepOnlineWatch m_policy;
    // Made when watching is first wanted: a plain command never looks for the runtime folder.
    std::optional<WatchLock> m_lock;
    Mode m_mode = Mode::off;
    bool m_keepServiceOnline = false;
    QString m_settingNote;
    bool m_looking = false;
    bool m_lookInFlight = false;
    bool m_wasPaused = false;
    bool m_recoverNow = false;
    std::optional<bool> m_lastRunning;
};

} // namespace skerrin
