// SPDX-License-Identifier: MIT
#include "panel/tray/DBusMenu.h"

#include <QGuiApplication>

namespace skerrin::tray {

using namespace Qt::StringLiterals;

DBusMenu::DBusMenu(QObject* parent) : QObject(parent) {
    registerStatusNotifierTypes();
}

void DBusMenu::setEntries(QList<Entry> entries) {
    m_entries = std::move(entries);
    ++m_revision;
    emit LayoutUpdated(m_revision, 0);
}

QString DBusMenu::textDirection() const {
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? u"rtl"_s : u"ltr"_s;
}

bool DBusMenu::has(int id) const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [id](const Entry& entry) { return entry.id == id; });
}

// Only what differs from the protocol's defaults (enabled, visible, a standard item) is sent.
QVariantMap DBusMenu::propertiesOf(int id, const QStringList& names) const {
    QVariantMap properties;
    if (id == 0) {
        properties.insert(u"children-display"_s, u"submenu"_s);
    } else {
        for (const Entry& entry : m_entries)
            if (entry.id == id)
                properties.insert(u"label"_s, entry.label);
    }
    if (!names.isEmpty()) {
        for (auto it = properties.begin(); it != properties.end();)
            it = names.contains(it.key()) ? std::next(it) : properties.erase(it);
    }
    return properties;
}

uint DBusMenu::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                         MenuLayout& layout) {
    layout = MenuLayout{parentId, propertiesOf(parentId, propertyNames), {}};
    if (parentId == 0 && recursionDepth != 0) {
        for (const Entry& entry : m_entries)
            layout.children.append(MenuLayout{entry.id, propertiesOf(entry.id, propertyNames), {}});
    }
    return m_revision;
}

MenuItemPropertiesList DBusMenu::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames) {
    MenuItemPropertiesList list;
    for (int id : ids)
        if (id == 0 || has(id))
            list.append(MenuItemProperties{id, propertiesOf(id, propertyNames)});
    return list;
}

QDBusVariant DBusMenu::GetProperty(int id, const QString& name) {
    return QDBusVariant(propertiesOf(id, {name}).value(name));
}

void DBusMenu::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    // Queued: the host waits for the call's reply, and what the entry does may take a while.
    if (eventId == u"clicked"_s && has(id))
        QMetaObject::invokeMethod(
            this, [this, id] { emit triggered(id); }, Qt::QueuedConnection);
}

QList<int> DBusMenu::EventGroup(const QList<MenuEvent>& events) {
    QList<int> unknown;
    for (const MenuEvent& event : events) {
        if (has(event.id))
            Event(event.id, event.eventId, event.data, event.timestamp);
        else
            unknown.append(event.id);
    }
    return unknown;
}

bool DBusMenu::AboutToShow(int) {
    return false; // the layout is always current: nothing to fetch first
}

QList<int> DBusMenu::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    idErrors.clear();
    for (int id : ids)
        if (id != 0 && !has(id))
            idErrors.append(id);
    return {};
}

} // namespace skerrin::tray
