// SPDX-License-Identifier: MIT
#include "diagnostics/BoundedRequest.h"
#include "diagnostics/ConnectivityChecks.h"

#include "support/LoopbackServer.h"

#include <QCoro/QCoroTask>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using namespace std::chrono_literals;

namespace {

SetupCheck probe(const QString& title, const QString& url, std::chrono::milliseconds timeout = 5s) {
    QNetworkAccessManager network;
    return QCoro::waitFor(probeConnectivity(&network, title, url, timeout));
}

} // namespace

class TestConnectivityChecks : public QObject {
    Q_OBJECT

private slots:
    void relayHealthUrl_data();
    void relayHealthUrl();

    void anyHttpAnswerIsReachable_data();
    void anyHttpAnswerIsReachable();
    void sendsOneBareHeadRequest();
    void relayBaseWithTrailingSlash();
    void invalidUrlSendsNothing_data();
    void invalidUrlSendsNothing();
    void refusedConnection();
    void timeOutBoundsTheWholeRequest_data();
    void timeOutBoundsTheWholeRequest();
};

void TestConnectivityChecks::relayHealthUrl_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no slash") << "https://relay.example"
                              << "https://relay.example/healthz";
    QTest::newRow("slash") << "https://relay.example/"
                           << "https://relay.example/healthz";
    QTest::newRow("path") << "https://relay.example/api"
                          << "https://relay.example/api/healthz";
    QTest::newRow("only one slash absorbed") << "https://relay.example//"
                                             << "https://relay.example//healthz";
}

void TestConnectivityChecks::relayHealthUrl() {
    QFETCH(QString, base);
    QFETCH(QString, expected);
    QCOMPARE(skerrin::relayHealthUrl(base), expected);
}

void TestConnectivityChecks::anyHttpAnswerIsReachable_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("redirected"); // first answer a 302 to the path that gives `status`
    QTest::newRow("200") << 200 << false;
    QTest::newRow("204") << 204 << false;
    QTest::newRow("401") << 401 << false;
    QTest::newRow("404") << 404 << false;
    QTest::newRow("500") << 500 << false;
    QTest::newRow("503") << 503 << false;
    QTest::newRow("final status after a redirect") << 404 << true;
}

void TestConnectivityChecks::anyHttpAnswerIsReachable() {
    QFETCH(int, status);
    QFETCH(bool, redirected);
    LoopbackServer server;
    CannedResponse answer;
    answer.status = status;
    answer.body = "body";
    server.setResponse(QStringLiteral("/final"), answer);
    server.setResponse(QStringLiteral("/start"), CannedResponse::redirect(QStringLiteral("/final")));

    const SetupCheck row = probe(QStringLiteral("Relay"), server.url(redirected ? "/start" : "/final"));
    QCOMPARE(row, (SetupCheck{"connectivity-Relay", "Relay",
                              QStringLiteral("Reachable (HTTP %1)").arg(status), true}));
    // Qt may resend a request whose answer was a redirect, so only the shape is checked.
    const QList<RecordedRequest> requests = server.requests();
    QVERIFY(!requests.isEmpty());
    QCOMPARE(requests.last().path, QStringLiteral("/final"));
    QCOMPARE(requests.first().path, redirected ? QStringLiteral("/start") : QStringLiteral("/final"));
    for (const RecordedRequest& request : requests)
        QCOMPARE(request.method, QByteArray("HEAD"));
}

void TestConnectivityChecks::sendsOneBareHeadRequest() {
    LoopbackServer server;
    server.setResponse(QStringLiteral("/"), CannedResponse{});
    const SetupCheck row = probe(QStringLiteral("ChatGPT"), server.url(QStringLiteral("/")));
    QCOMPARE(row.id, QStringLiteral("connectivity-ChatGPT"));
    QVERIFY(row.isReady);

    const QList<RecordedRequest> requests = server.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QByteArray("HEAD"));
    for (const char* name : {"Authorization", "Cookie", "Content-Length", "Content-Type"})
        QVERIFY2(!requests.first().hasHeader(name), name);
}

void TestConnectivityChecks::relayBaseWithTrailingSlash() {
    LoopbackServer server;
    server.setResponse(QStringLiteral("/healthz"), CannedResponse{});
    const SetupCheck row =
        probe(QStringLiteral("Relay"), skerrin::relayHealthUrl(server.url(QStringLiteral("/"))));
    QCOMPARE(row.detail, QStringLiteral("Reachable (HTTP 200)"));
    QCOMPARE(server.requests().value(0).path, QStringLiteral("/healthz"));
}

void TestConnectivityChecks::invalidUrlSendsNothing_data() {
    QTest::addColumn<QString>("url");
    QTest::newRow("empty") << "";
    QTest::newRow("words") << "not a url";
    QTest::newRow("no host") << "http://";
    QTest::newRow("no scheme") << "://relay.example/healthz";
    QTest::newRow("relative") << "relay.example/healthz";
    QTest::newRow("space in host") << "https://relay example/healthz";
    QTest::newRow("bad port") << "http://127.0.0.1:99999/healthz";
}

void TestConnectivityChecks::invalidUrlSendsNothing() {
    QFETCH(QString, url);
    QNetworkAccessManager network;
    QSignalSpy finished(&network, &QNetworkAccessManager::finished);
    const SetupCheck row = QCoro::waitFor(probeConnectivity(&network, QStringLiteral("Relay"), url));
    QCOMPARE(row, (SetupCheck{"connectivity-Relay", "Relay", "Invalid URL: " + url, false}));
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 0);
}

void TestConnectivityChecks::refusedConnection() {
    const int port = unusedLoopbackPort();
    QVERIFY(port > 0);
    const SetupCheck row =
        probe(QStringLiteral("Relay"), QStringLiteral("http://127.0.0.1:%1/healthz").arg(port));
    QVERIFY(!row.isReady);
    QVERIFY2(row.detail.contains(QLatin1String("refused"), Qt::CaseInsensitive), qPrintable(row.detail));
}

void TestConnectivityChecks::timeOutBoundsTheWholeRequest_data() {
    QTest::addColumn<QByteArray>("trickle"); // empty: accept and say nothing
    QTest::newRow("never answers") << QByteArray();
    // Bytes keep coming, so an inactivity time-out alone would never fire.
    QTest::newRow("trickles the status line")
        << QByteArray("HTTP/1.1 200 OK\r\nX-Padding: " + QByteArray(4000, 'x'));
}

void TestConnectivityChecks::timeOutBoundsTheWholeRequest() {
    QFETCH(QByteArray, trickle);
    StallingServer server(trickle, 20ms);
    const SetupCheck row = probe(QStringLiteral("Relay"), server.url(QStringLiteral("/healthz")), 600ms);
    QCOMPARE(row, (SetupCheck{"connectivity-Relay", "Relay", kRequestTimedOutText, false}));
    QCOMPARE(server.acceptedCount(), 1);
}

QTEST_GUILESS_MAIN(TestConnectivityChecks)
#include "tst_connectivity_checks.moc"
