// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "support/FakeServices.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QTest>

using namespace skerrin;

class TestPairingSession : public QObject {
    Q_OBJECT
    test::TemporaryHome m_home;
    test::TestRuntime m_runtime{ConnectorMenuBarModel::standardRuntimeRoot()}; // shared by every case
private slots:
    void refresh_data() {
        QTest::addColumn<QByteArray>("json"); // null: no session file, so that row must come first
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
    void refresh() {
        QFETCH(QByteArray, json);
        if (!json.isNull())
            m_runtime.setPairingSession(json, qstrcmp(QTest::currentDataTag(), "no QR image") != 0);
        ConnectorMenuBarModel model(test::makeTestServices());
        ModelSeed(model).pairingSession(
            PairingSessionState{QStringLiteral("OLD"), {}, {}}); // a stale one must go
        model.refreshPairingSession();
        QTEST(model.pairingSession().value_or(PairingSessionState{}).setupCode, "code");
    }
    void pairingConfigured() {
        ConnectorMenuBarModel model(test::makeTestServices());
        for (const auto& [env, paired] : {std::pair("RELAY_TOKEN=t\r\nCONNECTOR_WORKSPACE=w\r\n", true),
                                          std::pair("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE= ", false),
                                          std::pair("RELAY_TOKEN=' '\nCONNECTOR_WORKSPACE=w", false)}) {
            m_runtime.setEnv(env);
            QVERIFY2(model.isPairingConfigured() == paired, env); // both non-blank, trimmed and unquoted
        }
    }
};

QTEST_GUILESS_MAIN(TestPairingSession)
#include "tst_pairing_session.moc"
