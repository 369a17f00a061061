// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"
#include "model/DesktopService.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QMenu;

namespace skerrin {

class LanguageChoice;

// The bundled tray symbol for one of the model's three status icon names, drawn at every tray size.
QIcon trayIconFor(StatusIcon statusIcon);

// The tray icon: the model's status symbol and summary, a left click to toggle the panel and a
// menu to open it or quit.
class StatusTrayIcon : public QObject {
    Q_OBJECT

public:
    StatusTrayIcon(const DesktopService& service, const LanguageChoice& language, QObject* parent = nullptr);
    ~StatusTrayIcon() override;

    void show();
    // Where the icon is on the screen; empty when the tray host does not say.
    QRect geometry() const;

signals:
    void toggleRequested();
    void openRequested();
    void quitRequested();

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
