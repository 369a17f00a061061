// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "model/DisplayTexts.h"
#include "pairing/PairingSession.h"
#include "runtime/RuntimeLayout.h"
#include "support/FakeServices.h"
#include "support/TestRuntime.h"

#include <QTest>

using namespace skerrin;
using namespace skerrin::test;

// The derived texts and the pure rules behind them.
class TestDisplayTexts : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_home.clearSettings();
        QDir(ConnectorMenuBarModel::standardInstallRoot()).removeRecursively();
    }

    void lastLines_data();
    void lastLines();
    void versionText_data();
    void versionText();
    void relativePhrase_data();
    void relativePhrase();
    void statusIconPriority();
    void primaryActionRows();
    void runtimeValidityTest();
    void pairingExpiresText();

private:
    TemporaryHome m_home;
};

void TestDisplayTexts::lastLines_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("expected");
    QStringList twenty;
    for (int i = 1; i <= 20; ++i)
        twenty << QStringLiteral("line %1").arg(i);
    QTest::newRow("20 lines keep the last 12") << twenty.join('\n') << twenty.mid(8).join('\n');
    QTest::newRow("empty lines dropped") << "a\n\n\nb"
                                         << "a\nb";
    QTest::newRow("empty output") << ""
                                  << "";
    QTest::newRow("only line feeds returned unchanged") << "\n\n\n"
                                                        << "\n\n\n";
    QTest::newRow("blank line counts and is not trimmed") << "  \n x "
                                                          << "  \n x ";
    QTest::newRow("every newline kind")
        << QStringLiteral("a\r\nb\rc\u2028d\u0085e\u2029f\vg\fh") << "a\nb\nc\nd\ne\nf\ng\nh";
}

void TestDisplayTexts::lastLines() {
    QFETCH(QString, output);
    QFETCH(QString, expected);
    QCOMPARE(lastLinesSummary(output), expected);
}

void TestDisplayTexts::versionText_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("build");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    QTest::newRow("both") << "1.2.0"
                          << "45"
                          << "1.2.0 (45)"
                          << "1.2.0 (45)";
    QTest::newRow("only build") << ""
                                << "45"
                                << "45"
                                << "45";
    QTest::newRow("only version") << "1.2.0"
                                  << " \n"
                                  << "1.2.0"
                                  << "1.2.0";
    QTest::newRow("trimmed") << " 1.2.0\n"
                             << "\t45 "
                             << "1.2.0 (45)"
                             << "1.2.0 (45)";
    QTest::newRow("neither") << ""
                             << ""
                             << "Version unavailable"
                             << "版本未知";
}

void TestDisplayTexts::versionText() {
    QFETCH(QString, version);
    QFETCH(QString, build);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    FakeDesktop desktop;
    desktop.shortVersion = version;
    desktop.buildNumber = build;
    ConnectorMenuBarModel model(makeTestServices(desktop));
    QCOMPARE(model.appVersionText(), english);
    model.setLanguageField(AppLanguage::chinese);
    QCOMPARE(model.appVersionText(), chinese);
}

void TestDisplayTexts::relativePhrase_data() {
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("5 minutes") << 300LL << "en_US"
                               << "in 5 minutes";
    QTest::newRow("1 minute") << 61LL << "en_US"
                              << "in 1 minute";
    QTest::newRow("seconds") << 30LL << "en_US"
                             << "in 30 seconds";
    QTest::newRow("2 hours") << 7300LL << "en_US"
                             << "in 2 hours";
    QTest::newRow("past") << -180LL << "en_US"
                          << "3 minutes ago";
    QTest::newRow("chinese locale") << 300LL << "zh_CN"
                                    << "5分钟后";
}

void TestDisplayTexts::relativePhrase() {
    QFETCH(qint64, seconds);
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QCOMPARE(relativeTimePhrase(now.addSecs(seconds), now, locale), expected);
}

void TestDisplayTexts::statusIconPriority() {
    ConnectorMenuBarModel model(makeTestServices());
    QCOMPARE(model.statusIcon(), QStringLiteral("bolt.slash.circle"));
    model.setIsRunning(true);
    QCOMPARE(model.statusIcon(), QStringLiteral("bolt.horizontal.circle.fill"));
    model.setIsBusy(true);
    QCOMPARE(model.statusIcon(), QStringLiteral("arrow.triangle.2.circlepath.circle.fill"));
    model.setIsRunning(false);
    QCOMPARE(model.statusIcon(), QStringLiteral("arrow.triangle.2.circlepath.circle.fill"));
}

void TestDisplayTexts::primaryActionRows() {
    ConnectorMenuBarModel model(makeTestServices());
    QCOMPARE(model.primaryActionTitle(), QStringLiteral("Install Runtime"));
    QCOMPARE(model.primaryActionSubtitle(), QStringLiteral("Install the desktop runtime first."));
    QCOMPARE(model.runtimeInstallButtonTitle(), QStringLiteral("Install Runtime"));

    TestRuntime runtime(m_home.path() + QStringLiteral("/rt"));
    model.updateRuntimeRoot(runtime.root(), std::nullopt);
    QCOMPARE(model.primaryActionTitle(), QStringLiteral("Pair This Mac"));
    QCOMPARE(model.primaryActionSubtitle(),
             QStringLiteral("Pair once, then the desktop service should keep running in the background."));
    QCOMPARE(model.runtimeInstallButtonTitle(), QStringLiteral("Use Standard Runtime"));

    // Both keys must be non-blank after trimming.
    runtime.setEnv("RELAY_TOKEN=sentinel-token\nCONNECTOR_WORKSPACE=\n");
    QVERIFY(!model.isPairingConfigured());
    runtime.setEnv("RELAY_TOKEN=\"   \"\nCONNECTOR_WORKSPACE=   \n");
    QVERIFY(!model.isPairingConfigured());
    runtime.setEnv("RELAY_TOKEN=sentinel-token\r\nCONNECTOR_WORKSPACE=main\r\n");
    QVERIFY(model.isPairingConfigured());

    QCOMPARE(model.primaryActionTitle(), QStringLiteral("Keep Online"));
    model.setIsRunning(true);
    QCOMPARE(model.primaryActionTitle(), QStringLiteral("Refresh Status"));
    QCOMPARE(model.primaryActionSubtitle(),
             QStringLiteral("The desktop app should keep the service alive in the background."));
    model.setLanguageField(AppLanguage::chinese);
    QCOMPARE(model.primaryActionTitle(), QStringLiteral("刷新状态"));
    QCOMPARE(model.primaryActionSubtitle(), QStringLiteral("桌面 App 会在后台尽量保持服务在线。"));
}

void TestDisplayTexts::runtimeValidityTest() {
    ConnectorMenuBarModel model(makeTestServices());
    TestRuntime runtime(m_home.path() + QStringLiteral("/valid"));
    QCOMPARE(model.validRuntimeRoot(QStringLiteral("  ") + runtime.root() + QStringLiteral(" \n")),
             runtime.root());
    QVERIFY(!model.validRuntimeRoot(std::nullopt));
    QVERIFY(!model.validRuntimeRoot(QStringLiteral(" \n")));
    // Optional entries are not part of the test.
    runtime.remove(RuntimeLayout::unpairScript);
    runtime.remove(RuntimeLayout::envFile);
    QVERIFY(model.validRuntimeRoot(runtime.root()));

    for (const QString& entry : RuntimeLayout::requiredEntries) {
        TestRuntime broken(m_home.path() + QStringLiteral("/broken"));
        broken.remove(entry);
        QVERIFY2(!model.validRuntimeRoot(broken.root()), qPrintable(entry));
        QDir(broken.root()).removeRecursively();
    }

    // A symlinked runtime validates through the link; the link path is what is given back.
    const QString link = m_home.path() + QStringLiteral("/linked");
    QVERIFY(QFile::link(runtime.root(), link));
    QCOMPARE(model.validRuntimeRoot(link), link);

    // An unreadable folder still passes existence tests as root would see it; as a user it fails.
    const QString locked = m_home.path() + QStringLiteral("/locked");
    TestRuntime lockedRuntime(locked);
    QFile::setPermissions(locked, QFileDevice::Permissions{});
    const bool readable = QFileInfo::exists(runtimePath(locked, RuntimeLayout::startScript));
    QCOMPARE(model.validRuntimeRoot(locked).has_value(), readable);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestDisplayTexts::pairingExpiresText() {
    ConnectorMenuBarModel model(makeTestServices());
    QCOMPARE(model.pairingExpiresText(), QStringLiteral("Expires soon"));
    model.setPairingSession(
        PairingSessionState{QStringLiteral("CODE"), std::nullopt, QStringLiteral("/x.png")});
    model.setLanguageField(AppLanguage::chinese);
    QCOMPARE(model.pairingExpiresText(), QStringLiteral("即将过期"));

    model.setPairingSession(PairingSessionState{QStringLiteral("CODE"),
                                                QDateTime::currentDateTimeUtc().addSecs(3 * 3600 + 30),
                                                QStringLiteral("/x.png")});
    const QString phrase = model.pairingExpiresText();
    QVERIFY2(phrase.endsWith(QStringLiteral("后过期")) && phrase.size() > 4, qPrintable(phrase));
    model.setLanguageField(AppLanguage::english);
    QVERIFY2(model.pairingExpiresText().startsWith(QStringLiteral("Expires ")), qPrintable(phrase));
    QVERIFY(model.pairingExpiresText().contains(QLatin1Char('3')));
}

QTEST_GUILESS_MAIN(TestDisplayTexts)
#include "tst_display_texts.moc"
