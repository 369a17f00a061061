// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"
#include "model/DesktopService.h"
#include "panel/TrayIcon.h"

#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>

class QMenu;

namespace skerrin {

class LanguageChoice;

// The bundled tray symbol for one of the model's three status icon names, drawn at every tray size.
QIcon trayIconFor(StatusIcon statusIcon);

// The tray icon through the toolkit (an XEmbed tray on X11): the model's status symbol and summary,
// a left click to toggle the panel and a menu to open it or quit.
class StatusTrayIcon : public TrayIcon {
    Q_OBJECT

public:
    StatusTrayIcon(const DesktopService& service, const LanguageChoice& language, QObject* parent = nullptr);
    ~StatusTrayIcon() override;

    void show() override;
    QRect geometry() const override;

private:
    void update();
    void rebuildMenu();

    const DesktopService& m_service;
    const LanguageChoice& m_language;
    QSystemTrayIcon m_icon;
    QPointer<QMenu> m_menu;
    AppLanguage m_menuLanguage = AppLanguage::english;
    std::optional<StatusIcon> m_shownIcon;
};

} // namespace skerrin
