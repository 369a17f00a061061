// SPDX-License-Identifier: MIT
#include "diagnostics/ConnectivityChecks.h"
#include "net/BoundedRequest.h"
#include "pairing/PlatformStatusClient.h"

#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QTest>

#include <sys/resource.h>

using namespace skerrin;
using namespace skerrin::test;
using namespace std::chrono_literals;
using enum AppLanguage;

Q_DECLARE_METATYPE(skerrin::test::CannedResponse)

const QString kToken = QStringLiteral("sentinel-token-91ab");
const QString kNoPairing = "No paired installation|", kNoPhone = "No active phone session";
const QByteArray kValid = R"({"ok":true,"desktop_pairing":{"workspace":"w"}})";

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The two users of the bounded request: the connectivity probe and the platform status client.
class TestBoundedRequests : public QObject {
    Q_OBJECT
    LoopbackServer m_server, m_elsewhere;

private slots:
    void connectivity_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QStringList>("seen"); // requests the server got; unknown paths answer 404
        m_server.setResponse("/start", CannedResponse::redirect("/final"));
        m_server.setResponse("/final", {.status = 503});
        m_server.setResponse("/silent", {.delay = 3s});
        const auto row = [](const char* name, const QString& url, const QString& detail,
                            const QStringList& seen) { QTest::newRow(name) << url << detail << seen; };
        row("relay", relayHealthUrl(m_server.url("/relay")), "Reachable (HTTP 404)", {"HEAD /relay/healthz"});
        row("relay/", relayHealthUrl(m_server.url("/relay/")), "Reachable (HTTP 404)",
            {"HEAD /relay/healthz"});
        row("final status", m_server.url("/start"), "Reachable (HTTP 503)", {"HEAD /start", "HEAD /final"});
        row("refused", "http://127.0.0.1:" + QString::number(unusedLoopbackPort()), "Connection refused", {});
        row("never answers", m_server.url("/silent"), kRequestTimedOutText, {"HEAD /silent"});
        for (const char* url : {"", "not a url", "http://", "http://127.0.0.1:99999/healthz"})
            row(url, url, "Invalid URL: " + QString::fromUtf8(url), {});
    }
    void connectivity() {
        QFETCH(QString, url);
        QFETCH(QString, detail);
        const qsizetype before = m_server.requests().size();
        QNetworkAccessManager network;
        const SetupCheck row = QCoro::waitFor(probeConnectivity(&network, "Relay", url, 600ms));
        QCOMPARE(row, (SetupCheck{"connectivity-Relay", "Relay", detail, detail.startsWith("Reachable")}));
        QTEST(m_server.requests().mid(before), "seen"); // never with credentials
    }
    void platformBaseUrl() {
        const auto baseFor = [](const QByteArray& env, const QByteArray& override) {
            QTemporaryDir dir; // the runtime, with its config/.env
            writeFile(dir.filePath("config/.env"), env);
            ScopedEnv variable("SKERRIN_PLATFORM_BASE_URL", override);
            return platformBaseURL(dir.path());
        };
        QCOMPARE(baseFor("X=1\n", " "), "https://platform.brevant.app/api");
        QCOMPARE(baseFor("", " http://o/api "), "http://o/api");
        QCOMPARE(baseFor("PLATFORM_API_BASE_URL=b\nPLATFORM_BASE_URL=a\n", "o"), "a");
        QCOMPARE(baseFor("PLATFORM_BASE_URL=\" \"\nPLATFORM_API_BASE_URL= b/ \n", ""), "b/");
    }
    void platformStatus_data();
    void platformStatus() {
        QFETCH(CannedResponse, answer);
        QFETCH(QString, token);
        m_server.setResponse("/v1/desktop/runtime/status", answer);
        m_server.setResponse("/moved", {.body = kValid});
        const qsizetype before = m_server.requests().size();
        QNetworkAccessManager network;
        const auto got =
            QCoro::waitFor(fetchDesktopRuntimeStatus(&network, m_server.baseUrl(), token, 700ms));
        const QString pairing = got ? summarizePairing(got->desktopPairing, english) + '|' : QString();
        QTEST(got ? pairing + summarizeAppSession(got->currentAppSession, english) : pairing, "expected");
        for (const QString& request : m_server.requests().mid(before))
            QVERIFY2(request.endsWith(" Bearer " + kToken) && request.startsWith("GET "),
                     qPrintable(request));
        QCOMPARE(m_elsewhere.requests().size(), 0); // the token never leaves its origin
    }
    void endlessBodyEndsAtTheCap() {
        m_server.setResponse("/v1/desktop/runtime/status",
                             {.body = QByteArray(64 << 10, ' '), .endless = true});
        QNetworkAccessManager network;
        const long peakBefore = peakResidentKiB();
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(!QCoro::waitFor(fetchDesktopRuntimeStatus(&network, m_server.baseUrl(), kToken)));
        // Generous bounds: the cap is reached in a fraction of a second and holds 4 MiB; only the
        // 8-second deadline or an unbounded buffer would come near them.
        QVERIFY2(elapsed.elapsed() < 4000, qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY2(peakResidentKiB() - peakBefore < 64 * 1024, qPrintable(QString::number(peakResidentKiB())));
    }
};

// Out of the class body: moc misreads braces inside raw strings there.
void TestBoundedRequests::platformStatus_data() {
    QTest::addColumn<CannedResponse>("answer");
    QTest::addColumn<QString>("expected"); // "<pairing summary>|<phone summary>"; empty: rejected
    QTest::addColumn<QString>("token");
    const auto row = [](QByteArray name, CannedResponse answer, QString expected, QString token = kToken) {
        QTest::newRow(name) << answer << expected << token;
    };
    const char *p = "desktop_pairing", *s = "current_app_session";
    // {"ok":true,"<object>":{<members>}}; the other object is absent, so its summary is the empty one.
    const auto member = [&row, p](const char* object, QByteArray name, QByteArray members, QString summary) {
        const QString both = object == p ? summary + '|' + kNoPhone : kNoPairing + summary;
        row(name, {.body = R"({"ok":true,")" + QByteArray(object) + "\":{" + members + "}}"},
            summary.isEmpty() ? summary : both);
    };
    row("null", {.body = R"({"ok":false,"desktop_pairing":null,"current_app_session":null})"},
        kNoPairing + kNoPhone);
    row("not JSON", {.body = "<html>"}, {});
    row("ok not a bool", {.body = R"({"ok":"true"})"}, {});
    row("pairing not an object", {.body = R"({"ok":true,"desktop_pairing":[]})"}, {});
    member(p, "blank", R"("installation_name":" ","workspace":null)", "Paired installation available");
    member(p, "name and workspace", R"("installation_name":"M","workspace":" w\t","x":1)", "M • w");
    member(p, "workspace alone", R"("workspace":"w")", "w");
    member(s, "session without id", R"("device_name":"A")", {});
    member(s, "order", R"("app_version":"3","platform":"i","device_name":"P","id":"s")", "P • i • 3");
    member(s, "id when every part is blank", R"("id":"s-1","platform":" ")", "s-1");
    // Every optional member is type-checked, even those no summary reads.
    member(p, "pairing paired_at", R"("paired_at":1)", {});
    member(s, "session revoked_at", R"("id":"s","revoked_at":1)", {});
    row("401 decoded all the same", {.status = 401, .body = kValid}, "w|" + kNoPhone);
    row("just under the cap", {.body = kValid + QByteArray((4 << 20) - kValid.size(), ' ')}, "w|" + kNoPhone);
    row("just over it", {.body = kValid + QByteArray(4 << 20, ' ')}, {});
    row("never answers", {.body = kValid, .delay = 3s}, {});
    // Bytes keep coming, so only a deadline on the whole request ends it.
    row("trickles", {.body = kValid + QByteArray(300, ' '), .trickle = 10ms}, {});
    row("same-origin redirect", CannedResponse::redirect("/moved"), "w|" + kNoPhone);
    row("other port", CannedResponse::redirect(m_elsewhere.url("/elsewhere")), {});
    row("other host", CannedResponse::redirect(m_server.url("/moved").replace("127.0.0.1", "localhost")), {});
    row("token that would split the header", {.body = kValid}, {}, kToken + "\r\nX-Injected: 1");
}

QTEST_GUILESS_MAIN(TestBoundedRequests)
#include "tst_bounded_requests.moc"
