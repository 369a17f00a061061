// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"
#include "panel/TrayIcon.h"

#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>

class QMenu;

namespace skerrin {

class ConnectorMenuBarModel;

// The bundled tray symbol for one of the model's three status icon names, drawn at every tray size.
QIcon trayIconFor(const QString& statusIcon);

// The tray icon through the toolkit (an XEmbed tray on X11): the model's status symbol and summary,
// a left click to toggle the panel and a menu to open it or quit.
class StatusTrayIcon : public TrayIcon {
    Q_OBJECT

public:
    explicit StatusTrayIcon(ConnectorMenuBarModel& model, QObject* parent = nullptr);
    ~StatusTrayIcon() override;

    void show() override;
    QRect geometry() const override;

private:
    void update();
    void rebuildMenu();

    ConnectorMenuBarModel& m_model;
    QSystemTrayIcon m_icon;
    QPointer<QMenu> m_menu;
    AppLanguage m_menuLanguage = AppLanguage::english;
    QString m_shownIcon;
};

} // namespace skerrin
