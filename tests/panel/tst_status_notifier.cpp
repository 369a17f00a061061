// SPDX-License-Identifier: MIT
#include "app/TrayApplication.h"
#include "model/DisplayTexts.h"
#include "panel/PanelWindow.h"
#include "panel/StatusNotifierTrayIcon.h"
#include "panel/StatusTrayIcon.h"
#include "panel/tray/DBusMenu.h"
#include "panel/tray/StatusNotifierItem.h"
#include "support/ModelTest.h"
#include "support/PrivateBus.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMutex>
#include <QScreen>
#include <QSignalSpy>
#include <QThread>

#include <atomic>

using namespace skerrin::tray;

namespace {

constexpr char kWatcher[] = "org.kde.StatusNotifierWatcher";

// A StatusNotifierWatcher's object on the bus: what an item uses of it.
class WatcherObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

public:
    explicit WatcherObject(bool withHost) : m_host(withHost) {}

    void addHost() {
        m_host = true;
        emit StatusNotifierHostRegistered();
    }
    QStringList items() const {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }
    bool hostRegistered() const { return m_host; }

public slots:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service) {
        QMutexLocker lock(&m_mutex);
        m_items << service;
    }

signals:
    Q_SCRIPTABLE void StatusNotifierHostRegistered();

private:
    mutable QMutex m_mutex;
    QStringList m_items;
    std::atomic<bool> m_host;
};

// A watcher as bars run one, on a connection of its own, so that closing the connection is the bar
// going away and a second one is a new owner of the name. It answers from a thread of its own, as
// another process would: the application asks it with a blocking call.
class FakeWatcher {
public:
    FakeWatcher(const QString& name, bool withHost)
        : m_name(name),
          m_bus(QDBusConnection::connectToBus(QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS")), name)),
          m_object(new WatcherObject(withHost)) {
        m_thread.start();
        m_object->moveToThread(&m_thread);
    }
    ~FakeWatcher() {
        inThread([this] { delete m_object; });
        QDBusConnection::disconnectFromBus(m_name);
        m_thread.quit();
        m_thread.wait();
    }

    bool start() {
        bool started = false;
        inThread([&] {
            started = m_bus.registerObject("/StatusNotifierWatcher", m_object,
                                           QDBusConnection::ExportScriptableContents |
                                               QDBusConnection::ExportAllProperties) &&
                      m_bus.registerService(kWatcher);
        });
        return started;
    }
    void addHost() {
        inThread([this] { m_object->addHost(); });
    }
    QStringList items() const { return m_object->items(); }

private:
    // Qt D-Bus makes what relays the object's signals in the thread that registers it.
    template <typename F> void inThread(F f) {
        QMetaObject::invokeMethod(m_object, f, Qt::BlockingQueuedConnection);
    }

    QString m_name;
    QDBusConnection m_bus;
    QThread m_thread;
    WatcherObject* m_object;
};

// The host's side: calls and property reads from a connection of its own.
class Host {
public:
    Host()
        : m_bus(QDBusConnection::connectToBus(QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS")),
                                              "host")) {}
    ~Host() { QDBusConnection::disconnectFromBus("host"); }

    QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::BlockWithGui, 5000); // the item answers from this thread
    }
    QVariant property(const QString& service, const QString& name) {
        const QDBusMessage reply = call(service, "/StatusNotifierItem", "org.freedesktop.DBus.Properties",
                                        "Get", {"org.kde.StatusNotifierItem", name});
        return qvariant_cast<QDBusVariant>(reply.arguments().value(0)).variant(); // invalid on an error
    }
    template <typename T> T read(const QString& service, const QString& name) {
        T value{};
        qvariant_cast<QDBusArgument>(property(service, name)) >> value;
        return value;
    }
    MenuLayout layout(const QString& service) {
        const QDBusMessage reply =
            call(service, "/MenuBar", "com.canonical.dbusmenu", "GetLayout", {0, -1, QStringList()});
        MenuLayout layout;
        if (reply.arguments().size() == 2)
            qvariant_cast<QDBusArgument>(reply.arguments().at(1)) >> layout;
        return layout;
    }

private:
    QDBusConnection m_bus;
};

QStringList labels(const MenuLayout& layout) {
    QStringList texts;
    for (const MenuLayout& child : layout.children)
        texts << child.properties.value("label").toString();
    return texts;
}

} // namespace

// The tray as a StatusNotifierItem, against a watcher and a host of the test's own on a private
// session bus: registration whenever a watcher comes, what a host reads, its clicks and menu, and
// the application turning from a window into a tray icon when a host appears after it started.
class TestStatusNotifier : public QObject {
    Q_OBJECT
    TemporaryHome m_home;

private slots:
    void itemRegistersWithEachNewWatcher() {
        StatusNotifierItem item(QDBusConnection::sessionBus(), "Skerrin");
        QSignalSpy registered(&item, &StatusNotifierItem::registered);
        QVERIFY(item.publish());
        QVERIFY(!item.isRegistered()); // no watcher yet
        {
            FakeWatcher late("watcher-1", true);
            QVERIFY(late.start());
            QTRY_COMPARE(late.items(), QStringList{item.serviceName()});
            QTRY_VERIFY(item.isRegistered());
        } // the bar goes away
        QTRY_VERIFY(!item.isRegistered());
        FakeWatcher restarted("watcher-2", true);
        QVERIFY(restarted.start());
        QTRY_COMPARE(restarted.items(), QStringList{item.serviceName()});
        QTRY_COMPARE(registered.count(), 2);
    }

    void hostReadsTheItemAndItsMenu() {
        Model model(makeTestServices());
        StatusNotifierTrayIcon icon(model.service(), model.language(), QDBusConnection::sessionBus());
        icon.show();
        const QString service = icon.item().serviceName();
        Host host;
        for (const auto& [name, value] : {std::pair{"Id", "Skerrin"},
                                          {"Title", "Skerrin"},
                                          {"Status", "Active"},
                                          {"Category", "ApplicationStatus"}})
            QCOMPARE(host.property(service, name).toString(), QString(value));
        QCOMPARE(host.property(service, "Menu").value<QDBusObjectPath>().path(), QString("/MenuBar"));
        QVERIFY(!host.property(service, "ItemIsMenu").toBool()); // a left click activates

        // The status symbol at every tray size, in the protocol's byte order.
        const auto pixmaps = host.read<IconPixmaps>(service, "IconPixmap");
        QVERIFY(pixmaps.size() >= 4);
        const auto size22 =
            std::find_if(pixmaps.begin(), pixmaps.end(), [](const IconPixmap& p) { return p.width == 22; });
        QVERIFY(size22 != pixmaps.end());
        QCOMPARE(
            toImage(*size22),
            trayIconFor(StatusIcon::stopped).pixmap(22).toImage().convertToFormat(QImage::Format_ARGB32));
        const auto tip = host.read<ToolTip>(service, "ToolTip");
        QCOMPARE(tip.title, QString("Skerrin"));
        QCOMPARE(tip.text, QString("Not configured"));

        QCOMPARE(labels(host.layout(service)), QStringList({"Open Skerrin", "Quit"}));
        QSignalSpy updated(&icon.item().menu(), &DBusMenu::LayoutUpdated);
        model.language().setLanguage(AppLanguage::chinese);
        QTRY_COMPARE(updated.count(), 1);
        QCOMPARE(labels(host.layout(service)), QStringList({"打开 Skerrin", "退出"}));

        // Both ways a host reports a click in the menu.
        QSignalSpy open(&icon, &TrayIcon::openRequested), quit(&icon, &TrayIcon::quitRequested);
        const MenuLayout layout = host.layout(service);
        host.call(service, "/MenuBar", "com.canonical.dbusmenu", "Event",
                  {layout.children[0].id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
        QTRY_COMPARE(open.count(), 1);
        MenuEvent click{layout.children[1].id, "clicked", QDBusVariant(0), 0};
        const QDBusMessage reply = host.call(service, "/MenuBar", "com.canonical.dbusmenu", "EventGroup",
                                             {QVariant::fromValue(QList<MenuEvent>{click})});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(quit.count(), 1);
        QCOMPARE(open.count(), 1);

        ModelSeed(model).busy(true);
        QTRY_COMPARE(toImage(host.read<IconPixmaps>(service, "IconPixmap").constFirst()),
                     toImage(toIconPixmaps(trayIconFor(StatusIcon::busy)).constFirst()));
        finish(model);
    }

    void hostAppearingLaterTurnsTheWindowIntoATrayIcon_data() {
        QTest::addColumn<bool>("watcherFirst");
        QTest::newRow("watcher and host together") << false;
        QTest::newRow("host after its watcher") << true;
    }
    void hostAppearingLaterTurnsTheWindowIntoATrayIcon() {
        QFETCH(bool, watcherFirst);
        Model model(makeTestServices());
        std::optional<FakeWatcher> watcher;
        if (watcherFirst) {
            watcher.emplace("watcher-early", false);
            QVERIFY(watcher->start());
        }
        TrayApplication app(model, false);
        QVERIFY(!app.hasTray());
        QVERIFY(app.panel().isVisible() && !app.panel().isPopup());
        if (watcherFirst) {
            watcher->addHost();
        } else {
            watcher.emplace("watcher-late", true);
            QVERIFY(watcher->start());
        }
        QTRY_VERIFY(app.hasTray());
        auto* icon = qobject_cast<StatusNotifierTrayIcon*>(app.trayIcon());
        QVERIFY(icon);
        QTRY_COMPARE(watcher->items(), QStringList{icon->item().serviceName()});
        QVERIFY(app.panel().isVisible()); // the window stays open as it was
        app.quit();
        QSignalSpy finished(&app, &TrayApplication::finished);
        QVERIFY(finished.wait(10000));
    }

    // Activate(x, y) says where the click was; (0, 0) says nothing, and the pointer decides.
    void activatePlacesThePanel_data() {
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<QPoint>("pointer");
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QPoint middle = screen.center();
        QTest::newRow("a click in a top bar") << QPoint(screen.right() - 100, 12) << middle;
        QTest::newRow("a click in a bottom bar") << QPoint(120, screen.bottom() - 10) << middle;
        QTest::newRow("no position, pointer at the bottom")
            << QPoint(0, 0) << QPoint(300, screen.bottom() - 2);
    }
    void activatePlacesThePanel() {
        QFETCH(QPoint, click);
        QFETCH(QPoint, pointer);
        FakeWatcher watcher("watcher-place", true);
        QVERIFY(watcher.start());
        Model model(makeTestServices());
        TrayApplication app(model, false);
        QVERIFY(app.hasTray());
        QVERIFY(!app.hasPanel()); // an icon never clicked costs no panel
        auto* icon = qobject_cast<StatusNotifierTrayIcon*>(app.trayIcon());
        QVERIFY(icon);
        QCursor::setPos(pointer);
        Host host;
        host.call(icon->item().serviceName(), "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate",
                  {click.x(), click.y()});
        QTRY_VERIFY(app.hasPanel() && app.panel().isVisible());
        PanelWindow& panel = app.panel();
        QVERIFY(panel.isPopup());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect placed = panel.geometry();
        const QByteArray where = QDebug::toString(placed).toUtf8();
        QVERIFY2(screen.contains(placed), where);
        const QPoint anchor = click.isNull() ? pointer : click;
        if (anchor.y() < screen.center().y())
            QVERIFY2(placed.top() > anchor.y(), where); // below the bar, not over it
        else
            QVERIFY2(placed.bottom() < anchor.y() || click.isNull(), where);
        if (click.isNull())
            QCOMPARE(placed.bottom(), screen.bottom()); // against the edge by the pointer
        else
            QVERIFY(placed.left() <= anchor.x() && anchor.x() <= placed.right());
        app.quit();
        QSignalSpy finished(&app, &TrayApplication::finished);
        QVERIFY(finished.wait(10000));
    }
};

int main(int argc, char** argv) {
    // The bus first: Qt connects to the session bus the first time anything asks for it.
    skerrin::test::PrivateBus bus;
    if (!bus.isRunning()) {
        qCritical("could not start a private dbus-daemon");
        return 1;
    }
    QApplication app(argc, argv);
    TestStatusNotifier test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_status_notifier.moc"
