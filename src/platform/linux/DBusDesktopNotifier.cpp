// SPDX-License-Identifier: MIT
#include "platform/linux/DBusDesktopNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QHash>
#include <QObject>

#include <optional>

namespace skerrin {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage notificationsCall(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}

class DBusDesktopNotifier final : public DesktopNotifier {
public:
    DBusDesktopNotifier(QDBusConnection bus, NotifierIdentity identity)
        : m_bus(std::move(bus)), m_identity(std::move(identity)) {}

    bool isAvailable() const override {
        QDBusConnectionInterface* daemon = m_bus.isConnected() ? m_bus.interface() : nullptr;
        if (!daemon)
            return false;
        const QDBusReply<bool> running = daemon->isServiceRegistered(kService);
        if (running.isValid() && running.value())
            return true;
        const QDBusReply<QStringList> startable = daemon->activatableServiceNames();
        return startable.isValid() && startable.value().contains(kService);
    }

    // Nothing is asked of a bus without a notification service, so no error comes back to ignore.
    void notify(const DesktopNotification& notification) override {
        if (!isAvailable())
            return;
        // Servers that read the body as markup would swallow a reason's "<" or "&".
        auto* asked = new QDBusPendingCallWatcher(
            m_bus.asyncCall(notificationsCall(QStringLiteral("GetCapabilities"))), &m_context);
        QObject::connect(asked, &QDBusPendingCallWatcher::finished, &m_context, [this, asked, notification] {
            asked->deleteLater();
            const QDBusPendingReply<QStringList> capabilities = *asked;
            // No answer: the service went away, or one started on demand failed to start.
            if (capabilities.isValid())
                send(notification, capabilities.value().contains(QStringLiteral("body-markup")));
        });
    }

private:
    void send(const DesktopNotification& notification, bool markup) {
        QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
        // The desktop-entry hint lets the desktop group the notification with the application.
        call << m_identity.appName << m_shown.value(notification.group, 0u) << m_identity.iconName
             << notification.summary << (markup ? notification.body.toHtmlEscaped() : notification.body)
             << QStringList() << QVariantMap{{QStringLiteral("desktop-entry"), m_identity.desktopEntry}}
             << qint32(-1);
        auto* sent = new QDBusPendingCallWatcher(m_bus.asyncCall(call), &m_context);
        QObject::connect(sent, &QDBusPendingCallWatcher::finished, &m_context,
                         [this, sent, group = notification.group] {
                             sent->deleteLater();
                             const QDBusPendingReply<uint> id = *sent;
                             if (id.isValid())
                                 m_shown.insert(group, id.value());
                         });
    }

    QDBusConnection m_bus;
    NotifierIdentity m_identity;
    QHash<QString, uint> m_shown; // the server's id of each group's latest notification
    QObject m_context;            // ends the replies' handlers with the notifier
};

} // namespace

std::unique_ptr<DesktopNotifier> makeDBusDesktopNotifier(const QDBusConnection& bus,
                                                         NotifierIdentity identity) {
    return std::make_unique<DBusDesktopNotifier>(bus, std::move(identity));
}

} // namespace skerrin

// The notifications module's entry point: the session bus, the application named as it names
// itself. The caller owns the notifier.
extern "C" Q_DECL_EXPORT skerrin::DesktopNotifier* skerrinSessionBusNotifier() {
    return skerrin::makeDBusDesktopNotifier(
               QDBusConnection::sessionBus(),
               {QStringLiteral("Skerrin"), QStringLiteral(SKERRIN_APP_ID), QStringLiteral(SKERRIN_APP_ID)})
        .release();
}
