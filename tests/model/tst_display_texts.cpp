// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "support/FakeServices.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using Model = ConnectorMenuBarModel;

// Icon, primary action and install button, as the panel shows them.
QString shown(const Model& model) {
    return model.statusIcon() + '|' + model.primaryActionTitle() + '|' + model.runtimeInstallButtonTitle();
}

class TestDisplayTexts : public QObject {
    Q_OBJECT
    TemporaryHome m_home;

private slots:
    void derivedTexts() {
        Model model(makeTestServices());
        QCOMPARE(shown(model), "bolt.slash.circle|Install Runtime|Install Runtime");
        TestRuntime runtime(m_home.path() + "/rt");
        ModelSeed(model).runtimeRoot(runtime.root());
        QCOMPARE(shown(model), "bolt.slash.circle|Pair This Mac|Use Standard Runtime");
        runtime.setEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\n");
        QCOMPARE(shown(model), "bolt.slash.circle|Keep Online|Use Standard Runtime");
        ModelSeed(model).running(true);
        QCOMPARE(shown(model), "bolt.horizontal.circle.fill|Refresh Status|Use Standard Runtime");
        ModelSeed(model).busy(true); // busy wins over running
        QCOMPARE(model.statusIcon(), "arrow.triangle.2.circlepath.circle.fill");
        ModelSeed(model).latestOutput("x\ny\n1\r\n2\r3\u20284\u00855\u20296\v7\f8\n\n9\n \n10\n11\n");
        QCOMPARE(model.latestActionSummary(), "1\n2\n3\n4\n5\n6\n7\n8\n9\n \n10\n11"); // last 12 non-empty
        QCOMPARE(model.appVersionText(), "1.2.0 (45)");
        QCOMPARE(Model(makeTestServices({.shortVersion = " ", .buildNumber = "\t\n"})).appVersionText(),
                 "Version unavailable");
    }
    void pairingExpiry() {
        Model model(makeTestServices());
        QCOMPARE(model.pairingExpiresText(), "Expires soon");
        ModelSeed(model).pairingSession(
            PairingSessionState{{}, QDateTime::currentDateTimeUtc().addSecs(10770), {}});
        const QString english = model.pairingExpiresText();
        ModelSeed(model).language(AppLanguage::chinese);
        // The phrase follows the system locale in both languages; 2 h 59 min is "2 hours".
        const QString phrase = english.mid(8);
        QCOMPARE(english + '|' + model.pairingExpiresText(), "Expires " + phrase + '|' + phrase + "后过期");
        QVERIFY2(phrase.contains('2') && !phrase.contains('3'), qPrintable(phrase));
    }
};

QTEST_GUILESS_MAIN(TestDisplayTexts)
#include "tst_display_texts.moc"
