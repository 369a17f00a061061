// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>

#include <memory>

namespace skerrin::tray {

class XEmbedTrayWatch;

// Which tray the desktop has now, told again whenever that changes: a StatusNotifierItem host
// registered with the watcher on the session bus, an XEmbed tray manager on X11, or (elsewhere) the
// toolkit's own tray. Both Linux protocols are watched for the whole run at no cost (a name owner
// change, a host's signal, an X11 client message), so a tray that starts late is noticed at once.
class TrayHosts : public QObject {
    Q_OBJECT

public:
    enum class Kind { none, statusNotifier, xembed, toolkit };

    explicit TrayHosts(QDBusConnection bus, QObject* parent = nullptr);
    ~TrayHosts() override;

    // The protocol to use now; a StatusNotifierItem host wins over an XEmbed tray where a panel
    // offers both, since only it says where a click was on Wayland and X11 alike.
    Kind kind() const;
    bool hasStatusNotifierHost() const { return m_statusNotifierHost; }

signals:
    void changed();

private slots:
    void hostRegistered();
    void hostUnregistered();

private:
    void askWatcher(bool wait);
    void setStatusNotifierHost(bool present);

    QDBusConnection m_bus;
    bool m_statusNotifierHost = false;
    bool m_toolkitTray = false;
    quint64 m_question = 0;
    std::unique_ptr<XEmbedTrayWatch> m_xembed;
};

} // namespace skerrin::tray
