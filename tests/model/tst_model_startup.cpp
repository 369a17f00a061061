// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "support/FakeServices.h"
#include "support/TestRuntime.h"

#include <QSettings>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;

template <size_t N> QByteArray bytes(const char (&literal)[N]) {
    return QByteArray(literal, N - 1);
}

// Start-up: language rule, runtime detection and what is remembered.
class TestModelStartup : public QObject {
    Q_OBJECT

private slots:
    void init() { m_home.clearSettings(); }
    void cleanup();

    void languageRule_data();
    void languageRule();
    void setLanguagePersistsAndSurvivesRestart();
    void initialValues();
    void loginItemOnlyEnabledCounts();

    void standardRuntimeWinsOverSavedFolder();
    void invalidSavedFolderIsKept();
    void removableFolderWithoutBookmarkIsForgotten();
    void removableFolderWithBookmarkIsKept();
    void awkwardPathsRoundTrip_data();
    void awkwardPathsRoundTrip();
    void malformedSettingsFileFallsBack();

private:
    std::unique_ptr<ConnectorMenuBarModel> makeModel(const FakeDesktop& desktop = {}) {
        return std::make_unique<ConnectorMenuBarModel>(makeTestServices(desktop));
    }
    QString storedRoot() const {
        return settingsFile().value(QStringLiteral("connectorMenuBar.runtimeRoot")).toString();
    }
    QSettings settingsFile() const {
        return QSettings(m_home.configHome() + QStringLiteral("/Skerrin/Skerrin.conf"), QSettings::IniFormat);
    }

    TemporaryHome m_home;
};

void TestModelStartup::cleanup() {
    QDir(ConnectorMenuBarModel::standardInstallRoot()).removeRecursively();
    QDir(m_home.path() + QStringLiteral("/elsewhere")).removeRecursively();
}

void TestModelStartup::languageRule_data() {
    QTest::addColumn<QVariant>("stored"); // null variant: nothing stored
    QTest::addColumn<QStringList>("preferred");
    QTest::addColumn<QString>("expected");

    const QStringList english{QStringLiteral("en-GB")};
    const QStringList chinese{QStringLiteral("zh-Hans-CN")};
    QTest::newRow("stored zh-Hans beats system")
        << QVariant(QStringLiteral("zh-Hans")) << english << "zh-Hans";
    QTest::newRow("stored en beats system") << QVariant(QStringLiteral("en")) << chinese << "en";
    QTest::newRow("EN is not a raw value") << QVariant(QStringLiteral("EN")) << chinese << "zh-Hans";
    QTest::newRow("zh is not a raw value") << QVariant(QStringLiteral("zh")) << english << "en";
    QTest::newRow("fr is not a raw value") << QVariant(QStringLiteral("fr")) << chinese << "zh-Hans";
    QTest::newRow("empty stored value") << QVariant(QString()) << chinese << "zh-Hans";
    QTest::newRow("nothing stored, empty list") << QVariant() << QStringList{} << "en";
    QTest::newRow("zh-Hant-HK") << QVariant() << QStringList{QStringLiteral("zh-Hant-HK")} << "zh-Hans";
    QTest::newRow("upper-case ZH-Hans") << QVariant() << QStringList{QStringLiteral("ZH-Hans")} << "zh-Hans";
    QTest::newRow("only the first entry counts")
        << QVariant() << QStringList{QStringLiteral("en-US"), QStringLiteral("zh-Hans")} << "en";
    QTest::newRow("a stored number is not a string") << QVariant(7) << chinese << "zh-Hans";
}

void TestModelStartup::languageRule() {
    QFETCH(QVariant, stored);
    QFETCH(QStringList, preferred);
    QFETCH(QString, expected);
    if (stored.isValid()) {
        QSettings file = settingsFile();
        file.setValue(QStringLiteral("connectorMenuBar.language"), stored);
        file.sync();
    }
    FakeDesktop desktop;
    desktop.preferredLanguages = preferred;
    QCOMPARE(rawValue(makeModel(desktop)->language()), expected);
}

void TestModelStartup::setLanguagePersistsAndSurvivesRestart() {
    TestRuntime runtime(ConnectorMenuBarModel::standardRuntimeRoot());
    runtime.setPairingSession(R"({"setup_code":"ABC-123"})");
    {
        auto model = makeModel();
        model->setStatusSummary(QStringLiteral("Running"));
        QVERIFY(!model->pairingSession());
        model->setLanguage(AppLanguage::chinese);
        QCOMPARE(settingsFile().value(QStringLiteral("connectorMenuBar.language")).toString(),
                 QStringLiteral("zh-Hans"));
        // Stored texts keep their language; derived ones follow at once; the session is reread.
        QCOMPARE(model->statusSummary(), QStringLiteral("Running"));
        QCOMPARE(model->primaryActionTitle(), QStringLiteral("配对这台 Mac"));
        QVERIFY(model->pairingSession());
    }
    QCOMPARE(makeModel()->language(), AppLanguage::chinese);
}

void TestModelStartup::initialValues() {
    auto model = makeModel();
    QCOMPARE(model->runtimeRoot(), QString());
    QCOMPARE(model->statusSummary(), QStringLiteral("Not configured"));
    QCOMPARE(model->statusDetail(), QStringLiteral("Looking for a Brevant runtime..."));
    QCOMPARE(model->latestActionOutput(), QStringLiteral("No setup action run yet."));
    QVERIFY(!model->transientMessage());
    QVERIFY(!model->isBusy() && !model->isRunning());
    QVERIFY(model->setupChecks().isEmpty() && model->connectivityChecks().isEmpty());
    // The throttles must see "never ran" as stale.
    QVERIFY(model->lastSetupCheckAt().secsTo(QDateTime::currentDateTimeUtc()) > 3600LL * 24 * 365 * 100);
    QVERIFY(model->lastConnectivityCheckAt() < QDateTime::fromSecsSinceEpoch(0));
    QVERIFY(!model->hasFinishedFirstRefreshPass());
}

void TestModelStartup::loginItemOnlyEnabledCounts() {
    for (const auto& [status, expected] :
         {std::pair{LoginItemStatus::enabled, true}, std::pair{LoginItemStatus::requiresApproval, false},
          std::pair{LoginItemStatus::notFound, false}, std::pair{LoginItemStatus::notRegistered, false}}) {
        FakeDesktop desktop;
        desktop.loginStatus = status;
        QCOMPARE(makeModel(desktop)->launchAtLoginEnabled(), expected);
    }
}

void TestModelStartup::standardRuntimeWinsOverSavedFolder() {
    TestRuntime standard(ConnectorMenuBarModel::standardRuntimeRoot());
    TestRuntime other(m_home.path() + QStringLiteral("/elsewhere/runtime"));
    {
        QSettings file = settingsFile();
        file.setValue(QStringLiteral("connectorMenuBar.runtimeRoot"), other.root());
    }
    auto model = makeModel();
    QCOMPARE(model->runtimeRoot(), standard.root());
    QCOMPARE(storedRoot(), standard.root());
}

void TestModelStartup::invalidSavedFolderIsKept() {
    const QString saved = m_home.path() + QStringLiteral("/elsewhere/not-a-runtime");
    QDir().mkpath(saved);
    {
        QSettings file = settingsFile();
        file.setValue(QStringLiteral("connectorMenuBar.runtimeRoot"), saved);
    }
    auto model = makeModel();
    QCOMPARE(model->runtimeRoot(), saved);
    QCOMPARE(storedRoot(), saved);
    QCOMPARE(model->statusDetail(), QStringLiteral("Looking for a Brevant runtime..."));
}

void TestModelStartup::removableFolderWithoutBookmarkIsForgotten() {
    // Nothing exists under /Volumes here, so the mount-root rule decides.
    const QString saved = QStringLiteral("/Volumes/NoSuchDisk/brevant-runtime");
    {
        QSettings file = settingsFile();
        file.setValue(QStringLiteral("connectorMenuBar.runtimeRoot"), saved);
    }
    auto model = makeModel();
    QCOMPARE(model->runtimeRoot(), saved);
    QVERIFY(!settingsFile().contains(QStringLiteral("connectorMenuBar.runtimeRoot")));
    QCOMPARE(makeModel()->runtimeRoot(), QString());
}

void TestModelStartup::removableFolderWithBookmarkIsKept() {
    TestRuntime stick(m_home.path() + QStringLiteral("/elsewhere/stick/runtime"));
    FakeDesktop desktop;
    desktop.removableRoots = {m_home.path() + QStringLiteral("/elsewhere/stick")};
    {
        auto model = makeModel(desktop);
        QVERIFY(model->pathRequiresUserSelectedAccess(stick.root()));
        QVERIFY(!model->validRuntimeRoot(stick.root())); // no bookmark yet
        model->updateRuntimeRoot(stick.root(), stick.root());
        QVERIFY(settingsFile().contains(QStringLiteral("connectorMenuBar.runtimeRootBookmark")));
        QCOMPARE(model->validRuntimeRoot(stick.root()), stick.root());
        QCOMPARE(model->runtimeRootScopedAccessURL(), stick.root());
    }
    auto restarted = makeModel(desktop);
    QCOMPARE(restarted->runtimeRoot(), stick.root());
    QCOMPARE(restarted->runtimeRootScopedAccessURL(), stick.root());

    // Moving to an internal folder drops the bookmark and the access.
    TestRuntime internal(m_home.path() + QStringLiteral("/elsewhere/internal"));
    restarted->updateRuntimeRoot(internal.root(), internal.root());
    QVERIFY(!settingsFile().contains(QStringLiteral("connectorMenuBar.runtimeRootBookmark")));
    QVERIFY(!restarted->runtimeRootScopedAccessURL());
}

void TestModelStartup::awkwardPathsRoundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("spaces") << QStringLiteral("my runtime folder");
    QTest::newRow("quotes") << QStringLiteral("it's \"here\"");
    QTest::newRow("dollar") << QStringLiteral("$HOME and `x`");
    QTest::newRow("non-ASCII") << QStringLiteral("运行时 Ærø");
}

void TestModelStartup::awkwardPathsRoundTrip() {
    QFETCH(QString, name);
    TestRuntime runtime(m_home.path() + QStringLiteral("/elsewhere/") + name);
    {
        auto model = makeModel();
        model->updateRuntimeRoot(runtime.root(), runtime.root());
        QCOMPARE(model->validRuntimeRoot(runtime.root()), runtime.root());
    }
    auto restarted = makeModel();
    QCOMPARE(restarted->runtimeRoot(), runtime.root());
    QCOMPARE(storedRoot(), runtime.root());
}

void TestModelStartup::malformedSettingsFileFallsBack() {
    const QString path = m_home.configHome() + QStringLiteral("/Skerrin/Skerrin.conf");
    const QByteArray garbage[] = {
        bytes("\0\0[General\r\nconnectorMenuBar.language=\xff\xfezh-Hans\r\n=\n[[["),
        QByteArray(10 * 1024 * 1024, '\xff'),
        QByteArray("[General]\r\nconnectorMenuBar.language=@ByteArray(zh-Hans)\r\n"),
    };
    for (const QByteArray& content : garbage) {
        writeFile(path, content);
        FakeDesktop desktop;
        desktop.preferredLanguages = {QStringLiteral("en-US")};
        auto model = makeModel(desktop);
        QCOMPARE(model->language(), AppLanguage::english);
        QCOMPARE(model->runtimeRoot(), QString());
    }
}

QTEST_GUILESS_MAIN(TestModelStartup)
#include "tst_model_startup.moc"
