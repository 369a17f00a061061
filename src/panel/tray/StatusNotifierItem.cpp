// SPDX-License-Identifier: MIT
#include "panel/tray/StatusNotifierItem.h"

#include "panel/tray/DBusMenu.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

#include <atomic>

namespace skerrin::tray {

using namespace Qt::StringLiterals;

namespace {

constexpr char kItemPath[] = "/StatusNotifierItem";
constexpr char kMenuPath[] = "/MenuBar";

} // namespace

// The object a host talks to: org.kde.StatusNotifierItem's properties, methods and signals.
class ItemObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category CONSTANT)
    Q_PROPERTY(QString Id READ id CONSTANT)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(int WindowId READ windowId CONSTANT)
    Q_PROPERTY(QString IconThemePath READ empty CONSTANT)
    Q_PROPERTY(QDBusObjectPath Menu READ menu CONSTANT)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu CONSTANT)
    Q_PROPERTY(QString IconName READ empty CONSTANT)
    Q_PROPERTY(skerrin::tray::IconPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ empty CONSTANT)
    Q_PROPERTY(skerrin::tray::IconPixmaps OverlayIconPixmap READ noPixmaps CONSTANT)
    Q_PROPERTY(QString AttentionIconName READ empty CONSTANT)
    Q_PROPERTY(skerrin::tray::IconPixmaps AttentionIconPixmap READ noPixmaps CONSTANT)
    Q_PROPERTY(QString AttentionMovieName READ empty CONSTANT)
    Q_PROPERTY(skerrin::tray::ToolTip ToolTip READ toolTip)

public:
    explicit ItemObject(StatusNotifierItem& item) : QObject(&item), m_item(item) {}

    QString category() const { return u"ApplicationStatus"_s; }
    QString id() const { return m_item.id(); }
    QString title() const { return m_item.title(); }
    QString status() const { return u"Active"_s; }
    int windowId() const { return 0; }
    QString empty() const { return {}; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QLatin1String(kMenuPath)); }
    bool itemIsMenu() const { return false; }
    IconPixmaps iconPixmap() const { return m_item.icon(); }
    IconPixmaps noPixmaps() const { return {}; }
    ToolTip toolTip() const { return m_item.toolTip(); }

public slots:
    // Queued, so the host has its reply before the panel opens.
    Q_SCRIPTABLE void Activate(int x, int y) { later(&StatusNotifierItem::activated, x, y); }
    Q_SCRIPTABLE void SecondaryActivate(int x, int y) {
        later(&StatusNotifierItem::secondaryActivated, x, y);
    }
    Q_SCRIPTABLE void ContextMenu(int x, int y) { later(&StatusNotifierItem::contextMenuRequested, x, y); }
    Q_SCRIPTABLE void Scroll(int, const QString&) {}
    Q_SCRIPTABLE void ProvideXdgActivationToken(const QString&) {}

signals:
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewAttentionIcon();
    Q_SCRIPTABLE void NewOverlayIcon();
    Q_SCRIPTABLE void NewMenu();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewStatus(const QString& status);

private:
    void later(void (StatusNotifierItem::*signal)(QPoint), int x, int y) {
        QMetaObject::invokeMethod(
            &m_item, [item = &m_item, signal, x, y] { emit(item->*signal)(QPoint(x, y)); },
            Qt::QueuedConnection);
    }

    StatusNotifierItem& m_item;
};

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QString id, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_id(std::move(id)), m_item(new ItemObject(*this)),
      m_menu(new DBusMenu(this)), m_title(m_id) {
    registerStatusNotifierTypes();
    // Unique in the process too: a test or a second icon gets a name of its own.
    static std::atomic<int> instances = 0;
    m_serviceName =
        u"org.kde.StatusNotifierItem-%1-%2"_s.arg(QCoreApplication::applicationPid()).arg(++instances);
}

StatusNotifierItem::~StatusNotifierItem() {
    if (!m_published)
        return;
    m_bus.unregisterObject(QLatin1String(kItemPath));
    m_bus.unregisterObject(QLatin1String(kMenuPath));
    m_bus.unregisterService(m_serviceName);
}

bool StatusNotifierItem::publish() {
    if (m_published)
        return true;
    if (!m_bus.isConnected())
        return false;
    const auto contents = QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties;
    if (!m_bus.registerObject(QLatin1String(kItemPath), m_item, contents) ||
        !m_bus.registerObject(QLatin1String(kMenuPath), m_menu, contents))
        return false;
    if (!m_bus.registerService(m_serviceName))
        return false;
    m_published = true;
    // A new owner of the watcher's name is a new watcher, which knows nothing of the item.
    m_watcher = new QDBusServiceWatcher(QLatin1String(kWatcherService), m_bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                m_registered = false;
                if (!owner.isEmpty())
                    registerWithWatcher();
            });
    if (m_bus.interface()->isServiceRegistered(QLatin1String(kWatcherService)))
        registerWithWatcher();
    return true;
}

void StatusNotifierItem::registerWithWatcher() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kWatcherService), u"/StatusNotifierWatcher"_s,
                                       QLatin1String(kWatcherService), u"RegisterStatusNotifierItem"_s);
    call << m_serviceName;
    const quint64 attempt = ++m_attempt;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, attempt](QDBusPendingCallWatcher* reply) {
                reply->deleteLater();
                if (attempt != m_attempt) // a newer watcher came meanwhile; its answer counts
                    return;
                if (reply->isError()) {
                    qWarning("Skerrin: the tray's watcher refused the icon: %s",
                             qPrintable(reply->error().message()));
                    return;
                }
                m_registered = true;
                emit registered();
            });
}

void StatusNotifierItem::setTitle(const QString& title) {
    if (title == m_title)
        return;
    m_title = title;
    emit m_item->NewTitle();
}

void StatusNotifierItem::setIcon(const IconPixmaps& pixmaps) {
    m_icon = pixmaps;
    emit m_item->NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& title, const QString& text) {
    if (title == m_toolTipTitle && text == m_toolTipText)
        return;
    m_toolTipTitle = title;
    m_toolTipText = text;
    emit m_item->NewToolTip();
}

} // namespace skerrin::tray

#include "StatusNotifierItem.moc"
