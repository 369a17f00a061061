// SPDX-License-Identifier: MIT
#pragma once

#include "core/Language.h"
#include "model/DesktopService.h"
#include "panel/TrayIcon.h"
#include "panel/tray/StatusNotifierItem.h"

#include <QPointer>

#include <optional>

class QMenu;

namespace skerrin {

class DesktopService;
class LanguageChoice;

// The tray icon as a StatusNotifierItem of our own: the model's status symbol and summary, the
// host's click to toggle the panel (placed where the host says the click was) and a two-entry
// menu that the host draws.
class StatusNotifierTrayIcon : public TrayIcon {
    Q_OBJECT

public:
    enum MenuEntry { openEntry = 1, quitEntry = 2 };

    StatusNotifierTrayIcon(const DesktopService& service, const LanguageChoice& language, QDBusConnection bus,
                           QObject* parent = nullptr);
    ~StatusNotifierTrayIcon() override;

    void show() override;
    // The last Activate's position as a point; empty when the host gave (0, 0).
    QRect geometry() const override;
    tray::StatusNotifierItem& item() { return m_item; }

private:
    void update();
    void activated(QPoint position);
    void showOwnMenu(QPoint position);
    void entryChosen(int id);

    const DesktopService& m_service;
    const LanguageChoice& m_language;
    tray::StatusNotifierItem m_item;
    QPoint m_activatedAt;
    std::optional<StatusIcon> m_shownIcon;
    std::optional<AppLanguage> m_menuLanguage;
    QPointer<QMenu> m_ownMenu;
};

} // namespace skerrin
