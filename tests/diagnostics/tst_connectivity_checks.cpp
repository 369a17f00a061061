// SPDX-License-Identifier: MIT
#include "diagnostics/ConnectivityChecks.h"
#include "net/BoundedRequest.h"
#include "support/LoopbackServer.h"

#include <QNetworkAccessManager>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using namespace std::chrono_literals;

class TestConnectivityChecks : public QObject {
    Q_OBJECT

private slots:
    void probes_data();
    void probes();

private:
    LoopbackServer m_server;
    // Bytes keep coming, so only a deadline on the whole request ends it.
    StallingServer m_silent, m_trickling{"HTTP/1.1 200 OK\r\nX-Padding: " + QByteArray(4000, 'x'), 20ms};
};

void TestConnectivityChecks::probes_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QStringList>("seen"); // requests the loopback server got; unknown paths answer 404
    m_server.setResponse(QStringLiteral("/start"), CannedResponse::redirect(QStringLiteral("/final")));
    m_server.setResponse(QStringLiteral("/final"), {.status = 503});
    const auto row = [](const char* name, const QString& url, const QString& detail,
                        const QStringList& seen) { QTest::newRow(name) << url << detail << seen; };
    row("relay", relayHealthUrl(m_server.url("/relay")), "Reachable (HTTP 404)", {"HEAD /relay/healthz"});
    row("relay/", relayHealthUrl(m_server.url("/relay/")), "Reachable (HTTP 404)", {"HEAD /relay/healthz"});
    row("final status", m_server.url("/start"), "Reachable (HTTP 503)", {"HEAD /start", "HEAD /final"});
    row("refused", "http://127.0.0.1:" + QString::number(unusedLoopbackPort()), "Connection refused", {});
    row("never answers", m_silent.url("/healthz"), kRequestTimedOutText, {});
    row("trickles", m_trickling.url("/healthz"), kRequestTimedOutText, {});
    for (const char* url : {"", "not a url", "http://", "http://127.0.0.1:99999/healthz"})
        row(url, url, "Invalid URL: " + QString::fromUtf8(url), {});
}

void TestConnectivityChecks::probes() {
    QFETCH(QString, url);
    QFETCH(QString, detail);
    const qsizetype before = m_server.requests().size();
    QNetworkAccessManager network;
    const SetupCheck row = QCoro::waitFor(probeConnectivity(&network, QStringLiteral("Relay"), url, 600ms));
    QCOMPARE(row, (SetupCheck{"connectivity-Relay", "Relay", detail, detail.startsWith("Reachable")}));
    QStringList seen;
    for (const RecordedRequest& request : m_server.requests().mid(before)) {
        seen.append(request.method + ' ' + request.path);
        QVERIFY(request.authorization.isEmpty());
    }
    QTEST(seen, "seen");
}

QTEST_GUILESS_MAIN(TestConnectivityChecks)
#include "tst_connectivity_checks.moc"
