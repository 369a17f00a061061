// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "model/SettingsKeys.h"
#include "runtime/RuntimeLayout.h"
#include "support/FakeServices.h"
#include "support/LoopbackServer.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QFile>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;

// Start-up (language, runtime detection, what is remembered), derived texts and the pairing session.
class TestModel : public QObject {
    Q_OBJECT

private slots:
    void init() { m_home.empty(); }
    void languageRule() {
        // Stored value, preferred languages, the language chosen; an empty field is nothing at all.
        for (const char* row : {"zh-Hans en-GB zh-Hans", "en zh-Hans-CN en", "EN zh-Hans-CN zh-Hans",
                                "zh en-GB en", " zh-Hant-HK,en zh-Hans", " en-US,zh-Hans en", "  en"}) {
            const QStringList c = QString::fromLatin1(row).split(QLatin1Char(' '));
            c[0].isEmpty() ? settings()->remove(SettingsKey::language)
                           : settings()->setString(SettingsKey::language, c[0]);
            FakeDesktop desktop;
            desktop.preferredLanguages = c[1].split(QLatin1Char(','), Qt::SkipEmptyParts);
            QVERIFY2(rawValue(makeModel(desktop)->language()) == c[2], row);
        }
    }
    void standardRootWinsWhenValid() {
        const QString saved = TestRuntime(at(QStringLiteral("my \"rt\" it's $HOME `x` 运行时"))).root();
        settings()->setString(SettingsKey::runtimeRoot, saved);
        for (const QString& entry : RuntimeLayout::requiredEntries) { // without any one, no runtime
            QFile::remove(
                runtimePath(TestRuntime(ConnectorMenuBarModel::standardRuntimeRoot()).root(), entry));
            QVERIFY2(makeModel()->runtimeRoot() == saved, qPrintable(entry));
        }
        TestRuntime standard(ConnectorMenuBarModel::standardRuntimeRoot());
        LoopbackServer platform;
        standard.setEnv("RELAY_TOKEN=t\nPLATFORM_BASE_URL=" + platform.baseUrl().toUtf8() + '\n');
        standard.setPairingSession(R"({"setup_code":"ABC-123"})");
        auto model = makeModel();
        QCOMPARE(model->runtimeRoot(), standard.root());
        QCOMPARE(settings()->string(SettingsKey::runtimeRoot), standard.root());
        // Construction reads no session, runs no script and sends no request; the loop does, later.
        QVERIFY(!model->isBusy() && !model->pairingSession());
        QCoro::waitFor(model->cancelRefreshLoop());
        QCOMPARE(platform.requests().size(), 0);
        model->setLanguage(AppLanguage::chinese);
        QCOMPARE(settings()->string(SettingsKey::language), QStringLiteral("zh-Hans"));
        QVERIFY(model->pairingSession());
    }
    void rememberedRoot() {
        const QString stick = at("stick/rt");
        // A removable folder is remembered only with its bookmark; a broken internal one is kept.
        for (const auto& [path, bookmark, remembered] :
             {std::tuple(stick, true, true), std::tuple(stick, false, false),
              std::tuple(at(QStringLiteral("gone")), false, true),
              std::tuple(QStringLiteral("/Volumes/NoSuchDisk/rt"), false, false)}) {
            m_home.empty();
            TestRuntime runtime(stick);
            makeModel()->updateRuntimeRoot(path, bookmark ? std::optional(path) : std::nullopt);
            QCOMPARE(makeModel()->runtimeRoot(), path); // shown either way
            QVERIFY2((settings()->string(SettingsKey::runtimeRoot) == path) == remembered, qPrintable(path));
        }
    }

    void staleBookmarkIsRenewed() {
        const QString stick = TestRuntime(at("stick/rt")).root();
        settings()->setString(SettingsKey::runtimeRoot, stick);
        settings()->setData(SettingsKey::runtimeRootBookmark, fakeBookmark(stick, true));
        QCOMPARE(makeModel()->runtimeRootScopedAccessURL().value_or(""), stick);
        QCOMPARE(settings()->data(SettingsKey::runtimeRootBookmark).value_or(""), fakeBookmark(stick));
    }
    void launchAtLoginFollowsTheAutostartEntry() {
        const QString app = m_home.path() + "/my \"app\" $HOME `id` \\ x";
        QVERIFY(!makeLoginItemService(app)->registerItem());
        // Inside the quotes, a backslash goes before each double quote, backtick, dollar and backslash.
        const QByteArray exec =
            "\nExec=\"" + m_home.path().toUtf8() + "/my \\\"app\\\" \\$HOME \\`id\\` \\\\ x\"\n";
        const QString entry = m_home.configHome() + "/autostart/skerrin.desktop";
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.contains(exec), text);
        QVERIFY(makeModel()->launchAtLoginEnabled());
        QVERIFY(writeFile(entry, text + "Hidden=true\n")); // switched off in the desktop's settings
        QVERIFY(!makeModel()->launchAtLoginEnabled());
    }

    void derivedTexts() {
        // Icon, primary action and install button, as the panel shows them.
        const auto shown = [](const ConnectorMenuBarModel& m) {
            return m.statusIcon() + '|' + m.primaryActionTitle() + '|' + m.runtimeInstallButtonTitle();
        };
        auto model = makeModel();
        QCOMPARE(shown(*model), "bolt.slash.circle|Install Runtime|Install Runtime");
        TestRuntime runtime(at("rt"));
        ModelSeed(*model).runtimeRoot(runtime.root());
        QCOMPARE(shown(*model), "bolt.slash.circle|Pair This Mac|Use Standard Runtime");
        runtime.setEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\n");
        QCOMPARE(shown(*model), "bolt.slash.circle|Keep Online|Use Standard Runtime");
        ModelSeed(*model).running(true);
        QCOMPARE(shown(*model), "bolt.horizontal.circle.fill|Refresh Status|Use Standard Runtime");
        ModelSeed(*model).busy(true); // busy wins over running
        QCOMPARE(model->statusIcon(), "arrow.triangle.2.circlepath.circle.fill");
        ModelSeed(*model).latestOutput("x\ny\n1\r\n2\r3\u20284\u00855\u20296\v7\f8\n\n9\n \n10\n11\n");
        QCOMPARE(model->latestActionSummary(), "1\n2\n3\n4\n5\n6\n7\n8\n9\n \n10\n11"); // last 12 non-empty
        QCOMPARE(model->appVersionText(), "1.2.0 (45)");
        QCOMPARE(makeModel({.shortVersion = " ", .buildNumber = "\t\n"})->appVersionText(),
                 "Version unavailable");
    }
    void pairingExpiry() {
        auto model = makeModel();
        QCOMPARE(model->pairingExpiresText(), "Expires soon");
        ModelSeed(*model).pairingSession(
            PairingSessionState{{}, QDateTime::currentDateTimeUtc().addSecs(10770), {}});
        const QString english = model->pairingExpiresText(), phrase = english.mid(8);
        ModelSeed(*model).language(AppLanguage::chinese);
        // The phrase follows the system locale in both languages; 2 h 59 min is "2 hours".
        QCOMPARE(english + '|' + model->pairingExpiresText(), "Expires " + phrase + '|' + phrase + "后过期");
        QVERIFY2(phrase.contains('2') && !phrase.contains('3'), qPrintable(phrase));
    }
    void pairingSession_data() {
        QTest::addColumn<QByteArray>("json"); // null: no session file
        QTest::addColumn<QString>("code");    // empty: no session
        const QByteArray complete = R"({"setup_code":" AB-12\n","expires_at":"2999-01-31T20:00:00+08:00"})";
        QTest::newRow("no session file") << QByteArray() << "";
        QTest::newRow("complete") << complete << "AB-12";
        QTest::newRow("no QR image") << complete << "";
        QTest::newRow("blank code") << QByteArray(R"({"setup_code":" \n "})") << "";
        QTest::newRow("expired") << QByteArray(R"({"setup_code":"X","expires_at":"2001-01-31T12:00:00Z"})")
                                 << "";
        QTest::newRow("malformed") << QByteArray(R"({"setup_code":"X")") << "";
        QTest::newRow("not UTF-8") << QByteArray("{\"setup_code\":\"\xff\xfe\"}") << "";
        QTest::newRow("over 1 MiB") << QByteArray(R"({"setup_code":"X"})").leftJustified(2 << 20) << "";
    }
    void pairingSession() {
        QFETCH(QByteArray, json);
        TestRuntime runtime(ConnectorMenuBarModel::standardRuntimeRoot());
        if (!json.isNull())
            runtime.setPairingSession(json, qstrcmp(QTest::currentDataTag(), "no QR image") != 0);
        auto model = makeModel();
        ModelSeed(*model).pairingSession(PairingSessionState{"OLD", {}, {}}); // a stale one must go
        model->refreshPairingSession();
        QTEST(model->pairingSession().value_or(PairingSessionState{}).setupCode, "code");
    }
    void pairingConfigured() {
        TestRuntime runtime(ConnectorMenuBarModel::standardRuntimeRoot());
        auto model = makeModel();
        for (const auto& [env, paired] : {std::pair("RELAY_TOKEN=t\r\nCONNECTOR_WORKSPACE=w\r\n", true),
                                          std::pair("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE= ", false),
                                          std::pair("RELAY_TOKEN=' '\nCONNECTOR_WORKSPACE=w", false)}) {
            runtime.setEnv(env);
            QVERIFY2(model->isPairingConfigured() == paired, env); // both non-blank, trimmed and unquoted
        }
    }

private:
    QString at(const QString& name) const { return m_home.path() + QStringLiteral("/elsewhere/") + name; }
    static std::unique_ptr<SettingsStore> settings() { return makeSettingsStore(); }
    // Everything under elsewhere/stick is on a removable volume.
    std::unique_ptr<ConnectorMenuBarModel> makeModel(FakeDesktop desktop = {}) {
        desktop.removableRoots = {at(QStringLiteral("stick"))};
        return std::make_unique<ConnectorMenuBarModel>(makeTestServices(desktop));
    }
    TemporaryHome m_home;
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
