// SPDX-License-Identifier: MIT
#pragma once

#include "panel/tray/StatusNotifierTypes.h"

#include <QDBusVariant>
#include <QObject>
#include <QStringList>

namespace skerrin::tray {

// A flat menu of plain entries exported as com.canonical.dbusmenu, the menu a StatusNotifierItem
// host shows on a right click. The host draws it; a chosen entry comes back as `triggered`.
class DBusMenu : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version CONSTANT)
    Q_PROPERTY(QString TextDirection READ textDirection CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath CONSTANT)

public:
    struct Entry {
        int id = 0; // above 0: 0 is the menu itself
        QString label;
    };

    explicit DBusMenu(QObject* parent = nullptr);

    // Replaces the entries; the host is told to read the menu again.
    void setEntries(QList<Entry> entries);
    const QList<Entry>& entries() const { return m_entries; }
    uint revision() const { return m_revision; }

    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    Q_SCRIPTABLE uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                skerrin::tray::MenuLayout& layout);
    Q_SCRIPTABLE skerrin::tray::MenuItemPropertiesList GetGroupProperties(const QList<int>& ids,
                                                                          const QStringList& propertyNames);
    Q_SCRIPTABLE QDBusVariant GetProperty(int id, const QString& name);
    Q_SCRIPTABLE void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    // Spelled out: Qt D-Bus finds an input type by the name written here, which a typedef is not.
    Q_SCRIPTABLE QList<int> EventGroup(const QList<skerrin::tray::MenuEvent>& events);
    Q_SCRIPTABLE bool AboutToShow(int id);
    Q_SCRIPTABLE QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    Q_SCRIPTABLE void LayoutUpdated(uint revision, int parent);
    Q_SCRIPTABLE void ItemActivationRequested(int id, uint timestamp);
    // An entry was clicked in the host's menu.
    void triggered(int id);

private:
    QVariantMap propertiesOf(int id, const QStringList& names) const;
    bool has(int id) const;

    QList<Entry> m_entries;
    uint m_revision = 1;
};

} // namespace skerrin::tray
