// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "model/SettingsKeys.h"
#include "runtime/RuntimeLayout.h"
#include "support/FakeServices.h"
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QFile>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;

// Start-up: language rule, runtime detection and what is remembered.
class TestModelStartup : public QObject {
    Q_OBJECT

private slots:
    void init() { QDir(m_home.path()).removeRecursively(); } // no settings, runtimes or folders
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
            TestRuntime(ConnectorMenuBarModel::standardRuntimeRoot()).remove(entry);
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
        const QString stick = TestRuntime(at(QStringLiteral("stick/rt"))).root();
        // A removable folder is remembered only with its bookmark; a broken internal one is kept.
        for (const auto& [path, bookmark, remembered] :
             {std::tuple(stick, true, true), std::tuple(stick, false, false),
              std::tuple(at(QStringLiteral("gone")), false, true),
              std::tuple(QStringLiteral("/Volumes/NoSuchDisk/rt"), false, false)}) {
            m_home.clearSettings();
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

QTEST_GUILESS_MAIN(TestModelStartup)
#include "tst_model_startup.moc"
