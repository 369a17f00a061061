// SPDX-License-Identifier: MIT
#include "app/SingleInstance.h"
#include "app/TrayApplication.h"
#include "model/DisplayTexts.h"
#include "panel/ConnectorMenuBarView.h"
#include "panel/PanelPlacement.h"
#include "panel/PanelWindow.h"
#include "panel/StatusTrayIcon.h"
#include "support/ModelTest.h"

#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QLockFile>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>

// The desktop application offscreen, where no tray exists: the window fallback, the popup's own
// closing, one instance per user, and where the popup goes.
class TestTrayApplication : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    std::optional<QTemporaryDir> m_runtimeDir; // XDG_RUNTIME_DIR: owner-only, as the real one
    QString m_lock, m_socket;

private slots:
    void init() {
        m_runtimeDir.emplace();
        qputenv("XDG_RUNTIME_DIR", m_runtimeDir->path().toUtf8());
        m_lock = m_runtimeDir->filePath("test.Skerrin.lock");
        m_socket = m_runtimeDir->filePath("test.Skerrin.socket");
    }

    void placement_data() {
        QTest::addColumn<QRect>("icon");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("panel");
        QTest::addColumn<QPoint>("topLeft");
        const QSize panel(400, 500);
        const QRect belowTopBar(0, 28, 1280, 772), aboveBottomBar(0, 0, 1280, 772), full(0, 0, 1280, 800);
        const QPoint far(640, 400);
        // Below the icon, pushed left to stay on the screen.
        QTest::newRow("icon top right")
            << QRect(1250, 2, 24, 24) << far << belowTopBar << panel << QPoint(880, 30);
        QTest::newRow("icon bottom left")
            << QRect(4, 776, 24, 24) << far << aboveBottomBar << panel << QPoint(0, 272);
        QTest::newRow("icon in a left bar")
            << QRect(8, 300, 24, 24) << far << QRect(40, 0, 1240, 800) << panel << QPoint(40, 61);
        QTest::newRow("icon on a second screen")
            << QRect(3100, 1056, 24, 24) << far << QRect(1280, 0, 1920, 1050) << panel << QPoint(2800, 550);
        // Unknown icon place: against the edge nearest the pointer.
        QTest::newRow("pointer at top")
            << QRect() << QPoint(600, 5) << belowTopBar << panel << QPoint(400, 28);
        QTest::newRow("pointer at bottom")
            << QRect() << QPoint(600, 795) << aboveBottomBar << panel << QPoint(400, 272);
        QTest::newRow("pointer at left") << QRect() << QPoint(3, 400) << full << panel << QPoint(0, 150);
        QTest::newRow("pointer at right")
            << QRect() << QPoint(1278, 790) << full << panel << QPoint(880, 300);
        QTest::newRow("panel larger than the screen")
            << QRect(1250, 2, 24, 24) << far << belowTopBar << QSize(1400, 900) << QPoint(0, 28);
    }
    void placement() {
        QFETCH(QRect, icon);
        QFETCH(QPoint, pointer);
        QFETCH(QRect, available);
        QFETCH(QSize, panel);
        QTEST(panelPosition(icon, pointer, available, panel), "topLeft");
    }

    // The room beside the icon: below a top bar, above a bottom one, beside a side one; all of the
    // screen when the icon's place is unknown.
    void area_data() {
        QTest::addColumn<QRect>("icon");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("area");
        const QRect laptop(0, 0, 1366, 768);
        QTest::newRow("top bar, no work area") << QRect(1340, 3, 24, 24) << laptop << QRect(0, 31, 1366, 737);
        QTest::newRow("top bar, work area below it")
            << QRect(1340, 3, 24, 24) << QRect(0, 30, 1366, 738) << QRect(0, 31, 1366, 737);
        QTest::newRow("a host's click point") << QRect(1350, 15, 1, 1) << laptop << QRect(0, 20, 1366, 748);
        QTest::newRow("bottom bar") << QRect(1200, 772, 24, 24) << QRect(0, 0, 1280, 770)
                                    << QRect(0, 0, 1280, 768);
        QTest::newRow("left bar") << QRect(4, 300, 24, 24) << QRect(0, 0, 1280, 800)
                                  << QRect(32, 0, 1248, 800);
        QTest::newRow("unknown") << QRect() << laptop << laptop;
    }
    void area() {
        QFETCH(QRect, icon);
        QFETCH(QRect, available);
        QTEST(panelArea(icon, available), "area");
    }

    // Common screens with a 30 px bar: the popup fits below or above the bar, whole, and scrolls
    // only when its content is taller than the room.
    void popupFitsCommonScreens_data() {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("icon");
        QTest::newRow("1366 x 768, bar on top") << QRect(0, 0, 1366, 768) << QRect(1336, 3, 24, 24);
        QTest::newRow("1280 x 800, bar at the bottom") << QRect(0, 0, 1280, 800) << QRect(1250, 773, 24, 24);
        QTest::newRow("1024 x 600, bar on top") << QRect(0, 0, 1024, 600) << QRect(990, 3, 24, 24);
    }
    void popupFitsCommonScreens() {
        QFETCH(QRect, screen);
        QFETCH(QRect, icon);
        Model model(makeTestServices());
        PanelWindow window(model);
        finish(model); // the start-up's refresh would write the detail again
        ModelSeed(model).detail(QStringList(60, "line").join('\n')); // taller than any of these screens
        QTRY_VERIFY(window.view().contentHeight() > screen.height());
        const QRect area = panelArea(icon, screen);
        window.setPopupArea(area);
        const QRect placed(panelPosition(icon, QPoint(), area, window.popupSize()), window.popupSize());
        QVERIFY(area.contains(placed));
        QVERIFY(!placed.intersects(icon.adjusted(-icon.left(), 0, screen.width(), 0))); // clear of the bar
        QCOMPARE(placed.height(), area.height());
        finish(model);
    }

    void withoutTrayThePanelIsAWindowWhoseClosingQuits_data() {
        QTest::addColumn<bool>("windowed");
        QTest::newRow("no tray found") << false;
        QTest::newRow("--windowed") << true;
    }
    void withoutTrayThePanelIsAWindowWhoseClosingQuits() {
        QFETCH(bool, windowed);
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        Model model(makeTestServices());
        TrayApplication app(model, windowed);
        QSignalSpy finished(&app, &TrayApplication::finished);
        PanelWindow& window = app.panel();
        QVERIFY(!app.hasTray());
        QVERIFY(window.isVisible());
        QVERIFY(!window.windowFlags().testFlag(Qt::FramelessWindowHint));
        // A screen reader announces a window by its frame and name; a plain widget reads as a filler.
        const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&window);
        QVERIFY(accessible);
        QCOMPARE(accessible->role(), QAccessible::Window);
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Skerrin"));
        // The taskbar's icon comes once the panel is on screen.
        QTRY_VERIFY(!window.windowIcon().pixmap(32).isNull());
        QTest::keyClick(&window, Qt::Key_Escape); // an ordinary window never closes by itself
        QVERIFY(window.isVisible());
        QVERIFY(window.close());
        QVERIFY(finished.wait(10000)); // after the refresh loop has ended
        QVERIFY(!window.isVisible());
    }

    void popupIsFramelessAndClosesOnEscape() {
        Model model(makeTestServices());
        PanelWindow window(model);
        QSignalSpy closed(&window, &PanelWindow::windowClosed);
        window.showAsPopup(QPoint(120, 80));
        // A tool window stays out of the taskbar; a grabbing popup would fail on Wayland.
        QCOMPARE(window.windowType(), Qt::Tool);
        QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(window.pos(), QPoint(120, 80));
        QTRY_COMPARE(window.size(), window.popupSize());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(closed.count(), 0); // hiding the popup is not closing the application's window
        window.showAsWindow();
        QVERIFY(!window.windowFlags().testFlag(Qt::FramelessWindowHint));
        finish(model);
    }

    // Each state's symbol reads on dark and light bars and is told from the others; the icon, its
    // tooltip and its menu follow the model.
    void trayFollowsTheModel() {
        QSet<size_t> drawn;
        for (const StatusIcon name : {StatusIcon::busy, StatusIcon::running, StatusIcon::stopped}) {
            const QImage image = trayIconFor(name).pixmap(22).toImage();
            QCOMPARE(image.size(), QSize(22, 22));
            bool light = false, dark = false;
            for (int i = 0; i < 22 * 22; ++i) {
                const QColor c = image.pixelColor(i % 22, i / 22);
                light |= c.alpha() > 200 && c.lightness() > 200;
                dark |= c.alpha() > 150 && c.lightness() < 60;
            }
            QVERIFY2(light && dark, qPrintable(statusIconName(name)));
            drawn.insert(qHashBits(image.constBits(), size_t(image.sizeInBytes())));
        }
        QCOMPARE(drawn.size(), 3);

        Model model(makeTestServices());
        StatusTrayIcon tray(model.service(), model.language());
        const QSystemTrayIcon* icon = tray.findChild<QSystemTrayIcon*>();
        const auto shows = [icon](StatusIcon name) {
            return icon->icon().pixmap(22).toImage() == trayIconFor(name).pixmap(22).toImage();
        };
        QVERIFY(shows(StatusIcon::stopped));
        QCOMPARE(icon->toolTip(), QStringLiteral("Skerrin\nNot configured"));
        ModelSeed(model).busy(true);
        QTRY_VERIFY(shows(StatusIcon::busy)); // read after the store, not at the notice before it

        QPointer<QMenu> english = icon->contextMenu();
        model.language().setLanguage(AppLanguage::chinese);
        QTRY_VERIFY(!english); // a new menu, never the old one rewritten
        QStringList texts;
        for (const QAction* action : icon->contextMenu()->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({"打开 Skerrin", "退出"}));
        finish(model);
    }

    // A lock and socket a crashed instance left are taken over; each later launch hands over, and
    // a hand-over leaves the socket for the next one.
    void crashedInstanceIsReplacedThenLaterLaunchesHandOver() {
        QProcess gone;
        gone.start("true");
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QVERIFY(writeFile(m_lock, QByteArray::number(pid) + "\ntrue\n" +
                                      QSysInfo::machineHostName().toUtf8() + '\n'));
        QVERIFY(writeFile(m_socket, "left behind"));
        SingleInstance next("test.Skerrin");
        QCOMPARE(next.start(), SingleInstance::Role::primary);
        // Only this user may ask the running instance for anything.
        QCOMPARE(QFileInfo(m_socket).permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
                 QFile::Permissions());
        QSignalSpy shown(&next, &SingleInstance::showRequested);
        for (int launch = 1; launch <= 2; ++launch) {
            SingleInstance later("test.Skerrin");
            QCOMPARE(later.start(), SingleInstance::Role::handedOver);
            QTRY_COMPARE(shown.count(), launch);
        }
    }

    void liveLockKeepsItsSocket() {
        QLockFile held(m_lock);
        QVERIFY(held.tryLock());
        QVERIFY(writeFile(m_socket, "not answering yet"));
        SingleInstance later("test.Skerrin");
        QCOMPARE(later.start(), SingleInstance::Role::failed);
        QCOMPARE(readFile(m_socket), QByteArray("not answering yet"));
    }

    void builtBinaryRunsOnce() {
        const ScopedEnv platform("SKERRIN_PLATFORM_BASE_URL", "http://127.0.0.1:1"),
            chat("SKERRIN_CHATGPT_URL", "http://127.0.0.1:1/");
        QProcess first, second;
        first.start(SKERRIN_BINARY, {"--windowed"});
        QVERIFY(QTest::qWaitFor(
            [&] { return QFile::exists(m_runtimeDir->filePath(SKERRIN_APP_ID ".socket")); }, 10000));
        second.start(SKERRIN_BINARY, {"--windowed"});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate(); // SIGTERM winds down as Quit does
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
    }
};

QTEST_MAIN(TestTrayApplication)
#include "tst_tray_application.moc"
