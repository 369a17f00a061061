// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QIcon;

namespace skerrin::tray {

// One size of an icon as a StatusNotifierItem sends it: ARGB32, each pixel in network byte order.
struct IconPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using IconPixmaps = QList<IconPixmap>;

IconPixmap toIconPixmap(const QImage& image);
// Every size the icon has, smallest first.
IconPixmaps toIconPixmaps(const QIcon& icon);
QImage toImage(const IconPixmap& pixmap);

struct ToolTip {
    QString iconName;
    IconPixmaps icon;
    QString title;
    QString text;
};

// A com.canonical.dbusmenu item with its children, as GetLayout returns it: (ia{sv}av).
struct MenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<MenuLayout> children;
};

// (ia{sv}): one item's properties, for GetGroupProperties.
struct MenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuItemPropertiesList = QList<MenuItemProperties>;

// (isvu): one event of EventGroup.
struct MenuEvent {
    int id = 0;
    QString eventId;
    // Never an invalid variant: Qt D-Bus works out the type's signature from a default value.
    QDBusVariant data{QVariant(0)};
    uint timestamp = 0;
};
using MenuEvents = QList<MenuEvent>;

// Tells Qt D-Bus how to carry the types above; safe to call more than once.
void registerStatusNotifierTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const IconPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, IconPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const ToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, ToolTip& tip);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuLayout& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuLayout& item);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuEvent& event);

} // namespace skerrin::tray

Q_DECLARE_METATYPE(skerrin::tray::IconPixmap)
Q_DECLARE_METATYPE(skerrin::tray::ToolTip)
Q_DECLARE_METATYPE(skerrin::tray::MenuLayout)
Q_DECLARE_METATYPE(skerrin::tray::MenuItemProperties)
Q_DECLARE_METATYPE(skerrin::tray::MenuEvent)
