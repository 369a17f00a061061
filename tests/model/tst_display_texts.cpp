// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "support/FakeServices.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using Model = ConnectorMenuBarModel;

// The texts in English, then in Chinese, joined by '|'.
template <typename... Texts> QString both(Model& model, Texts... texts) {
    ModelSeed(model).language(AppLanguage::english);
    const QStringList english{(model.*texts)()...};
    ModelSeed(model).language(AppLanguage::chinese);
    return (english + QStringList{(model.*texts)()...}).join(QLatin1Char('|'));
}

class TestDisplayTexts : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
private slots:
    void derivedTexts() {
        Model model(makeTestServices());
        const auto title = &Model::primaryActionTitle, subtitle = &Model::primaryActionSubtitle;
        QCOMPARE(both(model, &Model::statusIcon, title, subtitle, &Model::runtimeInstallButtonTitle),
                 "bolt.slash.circle|Install Runtime|Install the desktop runtime first.|Install Runtime|"
                 "bolt.slash.circle|安装 Runtime|先安装桌面 Runtime。|安装 Runtime");
        TestRuntime runtime(m_home.path() + QStringLiteral("/rt"));
        ModelSeed(model).runtimeRoot(runtime.root());
        QCOMPARE(both(model, title, subtitle, &Model::runtimeInstallButtonTitle),
                 "Pair This Mac|Pair once, then the desktop service should keep running in the background.|"
                 "Use Standard Runtime|配对这台 Mac|先配对一次，之后桌面服务会在后台保持运行。|"
                 "使用标准 Runtime");
        runtime.setEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\n");
        QCOMPARE(both(model, title, &Model::appVersionText), "Keep Online|1.2.0 (45)|恢复在线|1.2.0 (45)");
        ModelSeed(model).running(true);
        QCOMPARE(
            both(model, &Model::statusIcon, title, subtitle),
            "bolt.horizontal.circle.fill|Refresh Status|The desktop app should keep the service alive in the "
            "background.|bolt.horizontal.circle.fill|刷新状态|桌面 App 会在后台尽量保持服务在线。");
        ModelSeed(model).busy(true); // busy wins over running
        QCOMPARE(model.statusIcon(), "arrow.triangle.2.circlepath.circle.fill");
        ModelSeed(model).latestOutput("x\ny\n1\r\n2\r3\u20284\u00855\u20296\v7\f8\n\n9\n \n10\n11\n");
        QCOMPARE(model.latestActionSummary(), "1\n2\n3\n4\n5\n6\n7\n8\n9\n \n10\n11"); // last 12 non-empty
        QCOMPARE(both(model, &Model::pairingExpiresText), "Expires soon|即将过期");
        ModelSeed(model).pairingSession(
            PairingSessionState{{}, QDateTime::currentDateTimeUtc().addSecs(10770), {}});
        const QString expires = both(model, &Model::pairingExpiresText);
        const QString phrase = expires.section('|', 1).chopped(3); // system locale; 2 h 59 min is "2 hours"
        QCOMPARE(expires, "Expires " + phrase + '|' + phrase + "后过期");
        QVERIFY2(phrase.contains('2') && !phrase.contains('3'), qPrintable(phrase));
        Model unversioned(makeTestServices(
            {.removableRoots = {}, .shortVersion = " ", .buildNumber = "\t\n", .chosenFolder = {}}));
        QCOMPARE(both(unversioned, &Model::appVersionText), "Version unavailable|版本未知");
    }
};

QTEST_GUILESS_MAIN(TestDisplayTexts)
#include "tst_display_texts.moc"
