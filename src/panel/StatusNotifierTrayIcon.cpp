// SPDX-License-Identifier: MIT
#include "panel/StatusNotifierTrayIcon.h"

#include "model/DesktopService.h"
#include "model/LanguageChoice.h"
#include "panel/AfterModelChanges.h"
#include "panel/StatusTrayIcon.h"
#include "panel/tray/DBusMenu.h"

#include <QCursor>
#include <QMenu>

namespace skerrin {

using namespace Qt::StringLiterals;

StatusNotifierTrayIcon::StatusNotifierTrayIcon(const DesktopService& service, const LanguageChoice& language,
                                               QDBusConnection bus, QObject* parent)
    : TrayIcon(parent), m_service(service), m_language(language), m_item(std::move(bus), u"Skerrin"_s) {
    m_item.setTitle(u"Skerrin"_s);
    afterChanges({&m_service, &m_language}, this, [this] { update(); });
    connect(&m_item, &tray::StatusNotifierItem::activated, this, &StatusNotifierTrayIcon::activated);
    connect(&m_item, &tray::StatusNotifierItem::secondaryActivated, this, &StatusNotifierTrayIcon::activated);
    connect(&m_item, &tray::StatusNotifierItem::contextMenuRequested, this,
            &StatusNotifierTrayIcon::showOwnMenu);
    connect(&m_item.menu(), &tray::DBusMenu::triggered, this, &StatusNotifierTrayIcon::entryChosen);
    update();
}

StatusNotifierTrayIcon::~StatusNotifierTrayIcon() {
    delete m_ownMenu;
}

void StatusNotifierTrayIcon::show() {
    if (!m_item.publish())
        qWarning("Skerrin: the tray icon could not be put on the session bus");
}

QRect StatusNotifierTrayIcon::geometry() const {
    return m_activatedAt.isNull() ? QRect() : QRect(m_activatedAt, QSize(1, 1));
}

void StatusNotifierTrayIcon::activated(QPoint position) {
    m_activatedAt = position;
    emit toggleRequested();
}

void StatusNotifierTrayIcon::entryChosen(int id) {
    if (id == openEntry)
        emit openRequested();
    else if (id == quitEntry)
        emit quitRequested();
}

void StatusNotifierTrayIcon::update() {
    if (const StatusIcon name = m_service.statusIcon(); name != m_shownIcon) {
        m_item.setIcon(tray::toIconPixmaps(trayIconFor(name)));
        m_shownIcon = name;
    }
    m_item.setToolTip(u"Skerrin"_s, m_service.statusSummary());
    if (m_language.language() != m_menuLanguage) {
        m_item.menu().setEntries({{openEntry, m_language.ui(u"Open Skerrin"_s, u"打开 Skerrin"_s)},
                                  {quitEntry, m_language.ui(u"Quit"_s, u"退出"_s)}});
        m_menuLanguage = m_language.language();
    }
}

// For a host that asks the item to show its menu rather than draw the exported one.
void StatusNotifierTrayIcon::showOwnMenu(QPoint position) {
    delete m_ownMenu;
    m_ownMenu = new QMenu;
    for (const tray::DBusMenu::Entry& entry : m_item.menu().entries()) {
        const int id = entry.id;
        m_ownMenu->addAction(entry.label, this, [this, id] { entryChosen(id); });
    }
    m_ownMenu->popup(position.isNull() ? QCursor::pos() : position);
}

} // namespace skerrin
