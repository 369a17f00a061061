// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "pairing/PairingSession.h"
#include "support/FakeServices.h"
#include "support/TestRuntime.h"

#include <QTest>

using namespace skerrin;
using namespace skerrin::test;

class TestPairingSession : public QObject {
    Q_OBJECT

private slots:
    void internetDateTime_data();
    void internetDateTime();
    void sessionFile_data();
    void sessionFile();
    void refreshReplacesAndClears();

private:
    TemporaryHome m_home;
};

void TestPairingSession::internetDateTime_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("epoch"); // -1: rejected
    QTest::newRow("Z") << "2026-01-31T12:00:00Z" << 1769860800LL;
    QTest::newRow("offset") << "2026-01-31T20:00:00+08:00" << 1769860800LL;
    QTest::newRow("negative offset") << "2026-01-31T07:00:00-05:00" << 1769860800LL;
    QTest::newRow("fractional seconds") << "2026-01-31T12:00:00.250Z" << -1LL;
    QTest::newRow("no zone") << "2026-01-31T12:00:00" << -1LL;
    QTest::newRow("no seconds") << "2026-01-31T12:00Z" << -1LL;
    QTest::newRow("date only") << "2026-01-31" << -1LL;
    QTest::newRow("impossible date") << "2026-02-30T12:00:00Z" << -1LL;
    QTest::newRow("space instead of T") << "2026-01-31 12:00:00Z" << -1LL;
    QTest::newRow("garbage") << "soon" << -1LL;
}

void TestPairingSession::internetDateTime() {
    QFETCH(QString, text);
    QFETCH(qint64, epoch);
    const std::optional<QDateTime> parsed = parseInternetDateTime(text);
    if (epoch < 0) {
        QVERIFY2(!parsed, qPrintable(text));
    } else {
        QVERIFY(parsed);
        QCOMPARE(parsed->toSecsSinceEpoch(), epoch);
    }
}

void TestPairingSession::sessionFile_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("qr");
    QTest::addColumn<QString>("code"); // empty: no session
    QTest::addColumn<bool>("hasExpiry");

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QByteArray past = now.addSecs(-60).toString(Qt::ISODate).toUtf8();
    const QByteArray future = now.addSecs(60).toString(Qt::ISODate).toUtf8();

    QTest::newRow("trimmed code, no expiry")
        << QByteArray(R"({"setup_code":"  AB-12\n"})") << true << "AB-12" << false;
    QTest::newRow("future expiry") << R"({"setup_code":"X","expires_at":")" + future + "\"}" << true << "X"
                                   << true;
    QTest::newRow("past expiry") << R"({"setup_code":"X","expires_at":")" + past + "\"}" << true << ""
                                 << false;
    QTest::newRow("unparseable expiry kept as none")
        << QByteArray(R"({"setup_code":"X","expires_at":"2026-01-31T12:00:00.250Z"})") << true << "X"
        << false;
    QTest::newRow("expiry of wrong type")
        << QByteArray(R"({"setup_code":"X","expires_at":5})") << true << "X" << false;
    QTest::newRow("numeric code") << QByteArray(R"({"setup_code":123456})") << true << "" << false;
    QTest::newRow("null code") << QByteArray(R"({"setup_code":null})") << true << "" << false;
    QTest::newRow("blank code") << QByteArray(R"({"setup_code":" \n "})") << true << "" << false;
    QTest::newRow("missing QR image") << QByteArray(R"({"setup_code":"X"})") << false << "" << false;
    QTest::newRow("top-level array") << QByteArray(R"([{"setup_code":"X"}])") << true << "" << false;
    QTest::newRow("invalid JSON") << QByteArray(R"({"setup_code":"X")") << true << "" << false;
    QTest::newRow("not UTF-8") << QByteArray("{\"setup_code\":\"\xff\xfe\"}") << true << "" << false;
    QTest::newRow("NUL bytes") << QByteArray("{\"setup_code\":\"X\"}\0\0", 20) << true << "" << false;
    QTest::newRow("huge file") << QByteArray(R"({"setup_code":"X","pad":")") + QByteArray(10 << 20, 'a') +
                                      "\"}"
                               << true << "" << false;
    QTest::newRow("extra members ignored")
        << QByteArray(R"({"setup_code":"X","other":{"a":[1]}})") << true << "X" << false;
}

void TestPairingSession::sessionFile() {
    QFETCH(QByteArray, json);
    QFETCH(bool, qr);
    QFETCH(QString, code);
    QFETCH(bool, hasExpiry);
    TestRuntime runtime(m_home.path() + QStringLiteral("/rt"));
    runtime.setPairingSession(json, qr);
    const std::optional<PairingSessionState> session =
        readPairingSession(runtime.root(), QDateTime::currentDateTimeUtc());
    if (code.isEmpty()) {
        QVERIFY(!session);
        return;
    }
    QVERIFY(session);
    QCOMPARE(session->setupCode, code);
    QCOMPARE(session->expiresAt.has_value(), hasExpiry);
    QCOMPARE(session->qrPath, runtime.root() + QStringLiteral("/state/relay_setup/relay_setup_qr_v2.png"));
}

void TestPairingSession::refreshReplacesAndClears() {
    // With no valid selected root, the standard location is read.
    TestRuntime standard(ConnectorMenuBarModel::standardRuntimeRoot());
    ConnectorMenuBarModel model(makeTestServices());
    model.setRuntimeRoot(QStringLiteral("/nowhere/at/all"));
    standard.setPairingSession(R"({"setup_code":"FIRST"})");
    model.refreshPairingSession();
    QVERIFY(model.pairingSession());
    QCOMPARE(model.pairingSession()->setupCode, QStringLiteral("FIRST"));

    // A selected valid root wins over the standard one.
    TestRuntime selected(m_home.path() + QStringLiteral("/selected"));
    selected.setPairingSession(R"({"setup_code":"SECOND"})");
    model.setRuntimeRoot(selected.root());
    model.refreshPairingSession();
    QCOMPARE(model.pairingSession()->setupCode, QStringLiteral("SECOND"));

    selected.remove(QStringLiteral("state/pairing/desktop_pairing_session.json"));
    int notifications = 0;
    connect(&model, &ConnectorMenuBarModel::willChange, this, [&notifications] { ++notifications; });
    model.refreshPairingSession();
    QVERIFY(!model.pairingSession());
    model.refreshPairingSession(); // assigned on every call, also when unchanged
    QCOMPARE(notifications, 2);
    QDir(ConnectorMenuBarModel::standardInstallRoot()).removeRecursively();
}

QTEST_GUILESS_MAIN(TestPairingSession)
#include "tst_pairing_session.moc"
