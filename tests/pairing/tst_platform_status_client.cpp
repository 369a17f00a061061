// SPDX-License-Identifier: MIT
#include "pairing/PlatformStatusClient.h"

#include "support/FakeTools.h"
#include "support/LoopbackServer.h"

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using namespace std::chrono_literals;
using enum AppLanguage;

Q_DECLARE_METATYPE(skerrin::test::CannedResponse)

const QString kToken = QStringLiteral("sentinel-token-91ab");
const QString kNoPairing = "No paired installation|", kNoPhone = "No active phone session";
const QByteArray kValid = R"({"ok":true,"desktop_pairing":{"workspace":"w"}})";

class TestPlatformStatusClient : public QObject {
    Q_OBJECT

private slots:
    void platformBaseUrl();
    void fetches_data();
    void fetches();

private:
    LoopbackServer m_server, m_elsewhere;
    // Bytes keep coming, so only a deadline on the whole request ends it.
    StallingServer m_silent, m_trickling{"HTTP/1.1 200 OK\r\nX-Padding: " + QByteArray(4000, 'x'), 20ms};
};

void TestPlatformStatusClient::platformBaseUrl() {
    const auto baseFor = [](const QByteArray& env, const QByteArray& override) {
        QTemporaryDir dir; // the runtime, with its config/.env
        writeFile(dir.filePath(QStringLiteral("config/.env")), env);
        ScopedEnv variable("SKERRIN_PLATFORM_BASE_URL", override);
        return platformBaseURL(dir.path());
    };
    QCOMPARE(baseFor("X=1\n", " "), QStringLiteral("https://platform.brevant.app/api"));
    QCOMPARE(baseFor("", " http://o/api "), QStringLiteral("http://o/api"));
    QCOMPARE(baseFor("PLATFORM_API_BASE_URL=b\nPLATFORM_BASE_URL=a\n", "o"), QStringLiteral("a"));
    QCOMPARE(baseFor("PLATFORM_BASE_URL=\" \"\nPLATFORM_API_BASE_URL= b/ \n", ""), QStringLiteral("b/"));
}

void TestPlatformStatusClient::fetches_data() {
    QTest::addColumn<CannedResponse>("answer");
    QTest::addColumn<QString>("expected"); // "<pairing summary>|<phone summary>"; empty: rejected
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("base"); // empty: the loopback server
    const auto row = [](QByteArray name, CannedResponse answer, QString expected, QString token = kToken,
                        QString base = {}) { QTest::newRow(name) << answer << expected << token << base; };
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
    row("ok missing", {.body = "{}"}, {});
    row("ok not a bool", {.body = R"({"ok":"true"})"}, {});
    row("pairing not an object", {.body = R"({"ok":true,"desktop_pairing":[]})"}, {});
    member(p, "blank", R"("installation_name":" ","workspace":null)", "Paired installation available");
    member(p, "name and workspace", R"("installation_name":"M","workspace":" w\t","x":1)", "M • w");
    member(p, "workspace alone", R"("workspace":"w")", "w");
    member(s, "session without id", R"("device_name":"A")", {});
    member(s, "session id null", R"("id":null)", {});
    member(s, "order", R"("app_version":"3","platform":"i","device_name":"P","id":"s")", "P • i • 3");
    member(s, "id when every part is blank", R"("id":"s-1","platform":" ")", "s-1");
    // Every optional member is type-checked, even those no summary reads.
    member(p, "pairing paired_at", R"("paired_at":1)", {});
    member(s, "session revoked_at", R"("id":"s","revoked_at":1)", {});
    row("401 decoded all the same", {.status = 401, .body = kValid}, "w|" + kNoPhone);
    row("just under the cap", {.body = kValid + QByteArray((4 << 20) - kValid.size(), ' ')}, "w|" + kNoPhone);
    row("just over it", {.body = kValid + QByteArray(4 << 20, ' ')}, {});
    row("never answers", {}, {}, kToken, m_silent.url({}));
    row("trickles", {}, {}, kToken, m_trickling.url({}));
    row("same-origin redirect", CannedResponse::redirect(QStringLiteral("/moved")), "w|" + kNoPhone);
    row("other port", CannedResponse::redirect(m_elsewhere.url(QStringLiteral("/elsewhere"))), {});
    row("other host", CannedResponse::redirect(m_server.url("/moved").replace("127.0.0.1", "localhost")), {});
    row("token that would split the header", {.body = kValid}, {}, kToken + "\r\nX-Injected: 1");
}

void TestPlatformStatusClient::fetches() {
    QFETCH(CannedResponse, answer);
    QFETCH(QString, token);
    QFETCH(QString, base);
    m_server.setResponse(QStringLiteral("/v1/desktop/runtime/status"), answer);
    m_server.setResponse(QStringLiteral("/moved"), {.body = kValid});
    QNetworkAccessManager network;
    const auto got = QCoro::waitFor(
        fetchDesktopRuntimeStatus(&network, base.isEmpty() ? m_server.baseUrl() : base, token, 700ms));
    const QString pairing = got ? summarizePairing(got->desktopPairing, english) + '|' : QString();
    QTEST(got ? pairing + summarizeAppSession(got->currentAppSession, english) : pairing, "expected");
    for (const RecordedRequest& request : m_server.requests())
        QCOMPARE(request.method + ' ' + request.authorization, "GET Bearer " + kToken.toUtf8());
    QCOMPARE(m_elsewhere.requests().size(), 0); // the token never leaves its origin
}

QTEST_GUILESS_MAIN(TestPlatformStatusClient)
#include "tst_platform_status_client.moc"
