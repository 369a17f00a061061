// SPDX-License-Identifier: MIT
#pragma once

#include "panel/tray/StatusNotifierTypes.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>

class QDBusServiceWatcher;

namespace skerrin::tray {

class DBusMenu;
class ItemObject;

inline constexpr char kWatcherService[] = "org.kde.StatusNotifierWatcher";

// A tray icon spoken directly as a StatusNotifierItem over D-Bus, with its menu as
// com.canonical.dbusmenu. Unlike a tray icon from the toolkit it registers with a watcher that turns
// up after it, registers again whenever the watcher's name gets a new owner (a bar restarting), and
// keeps the position a host's Activate(x, y) gives.
class StatusNotifierItem : public QObject {
    Q_OBJECT

public:
    StatusNotifierItem(QDBusConnection bus, QString id, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Exports the item and its menu under a bus name of their own, then registers with the watcher
    // now if there is one, and from then on each time one appears. False when the bus refuses.
    bool publish();
    QString serviceName() const { return m_serviceName; }
    // Whether the current watcher has accepted the item.
    bool isRegistered() const { return m_registered; }
    DBusMenu& menu() const { return *m_menu; }

    void setTitle(const QString& title);
    void setIcon(const IconPixmaps& pixmaps);
    void setToolTip(const QString& title, const QString& text);

    // What the exported properties read.
    const QString& id() const { return m_id; }
    const QString& title() const { return m_title; }
    const IconPixmaps& icon() const { return m_icon; }
    ToolTip toolTip() const { return {QString(), {}, m_toolTipTitle, m_toolTipText}; }

signals:
    // A host's Activate (a left click) or SecondaryActivate (a middle click), with the position it
    // gave: (0, 0) when it does not say.
    void activated(QPoint position);
    void secondaryActivated(QPoint position);
    // A host that shows no exported menu itself asks the item to show one.
    void contextMenuRequested(QPoint position);
    // A watcher has accepted the item (again).
    void registered();

private:
    friend class ItemObject;
    void registerWithWatcher();

    QDBusConnection m_bus;
    QString m_id;
    QString m_serviceName;
    ItemObject* m_item;
    DBusMenu* m_menu;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_published = false;
    bool m_registered = false;
    quint64 m_attempt = 0;
    QString m_title;
    IconPixmaps m_icon;
    QString m_toolTipTitle;
    QString m_toolTipText;
};

} // namespace skerrin::tray
