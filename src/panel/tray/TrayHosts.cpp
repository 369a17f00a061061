// SPDX-License-Identifier: MIT
#include "panel/tray/TrayHosts.h"

#include "panel/tray/StatusNotifierItem.h"
#include "panel/tray/XEmbedTrayWatch.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace skerrin::tray {

using namespace Qt::StringLiterals;

namespace {

// The first answer decides whether the application starts as a tray icon or a window; a bus that
// does not answer by then counts as no host, and a later answer still counts.
constexpr int kFirstAnswerMs = 1000;

QDBusMessage hostRegisteredQuestion() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kWatcherService), u"/StatusNotifierWatcher"_s,
                                       u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    call << QLatin1String(kWatcherService) << u"IsStatusNotifierHostRegistered"_s;
    return call;
}

bool saysRegistered(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

} // namespace

TrayHosts::TrayHosts(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus)) {
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb"_s) {
        m_xembed = XEmbedTrayWatch::create();
        if (m_xembed)
            connect(m_xembed.get(), &XEmbedTrayWatch::changed, this, &TrayHosts::changed);
    } else if (!platform.startsWith(u"wayland"_s) && platform != u"offscreen"_s && platform != u"minimal"_s) {
        // Neither protocol of the Linux desktops: the toolkit knows the platform's own tray.
        m_toolkitTray = QSystemTrayIcon::isSystemTrayAvailable();
    }
    if (!m_bus.isConnected())
        return;
    auto* watcher = new QDBusServiceWatcher(QLatin1String(kWatcherService), m_bus,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                if (owner.isEmpty())
                    setStatusNotifierHost(false);
                else
                    askWatcher(false);
            });
    // A watcher that starts before its host says so when the host comes; one whose host leaves is
    // asked whether another one is still there.
    const QString path = u"/StatusNotifierWatcher"_s;
    m_bus.connect(QLatin1String(kWatcherService), path, QLatin1String(kWatcherService),
                  u"StatusNotifierHostRegistered"_s, this, SLOT(hostRegistered()));
    m_bus.connect(QLatin1String(kWatcherService), path, QLatin1String(kWatcherService),
                  u"StatusNotifierHostUnregistered"_s, this, SLOT(hostUnregistered()));
    askWatcher(true);
}

TrayHosts::~TrayHosts() = default;

TrayHosts::Kind TrayHosts::kind() const {
    if (m_statusNotifierHost)
        return Kind::statusNotifier;
    if (m_xembed && m_xembed->present())
        return Kind::xembed;
    return m_toolkitTray ? Kind::toolkit : Kind::none;
}

void TrayHosts::hostRegistered() {
    setStatusNotifierHost(true);
}

void TrayHosts::hostUnregistered() {
    askWatcher(false);
}

void TrayHosts::askWatcher(bool wait) {
    const quint64 question = ++m_question;
    if (wait) {
        if (!m_bus.interface()->isServiceRegistered(QLatin1String(kWatcherService)))
            return;
        setStatusNotifierHost(
            saysRegistered(m_bus.call(hostRegisteredQuestion(), QDBus::Block, kFirstAnswerMs)));
        return;
    }
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(hostRegisteredQuestion()), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher* reply) {
                reply->deleteLater();
                if (question == m_question) // an older question's late answer says nothing
                    setStatusNotifierHost(saysRegistered(reply->reply()));
            });
}

void TrayHosts::setStatusNotifierHost(bool present) {
    if (present == m_statusNotifierHost)
        return;
    m_statusNotifierHost = present;
    emit changed();
}

} // namespace skerrin::tray
