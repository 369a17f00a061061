// SPDX-License-Identifier: MIT
#include "pairing/PlatformStatusClient.h"

#include "support/FakeTools.h"
#include "support/LoopbackServer.h"

#include <QCoro/QCoroTask>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using namespace std::chrono_literals;

namespace {

const QString kSentinelToken = QStringLiteral("sentinel-relay-token-91ab");
const QString kStatusPath = QStringLiteral("/v1/desktop/runtime/status");
const QString kNoPairing = QStringLiteral("No paired installation");
const QString kNoSession = QStringLiteral("No active phone session");

// "<pairing summary>|<session summary>" in English, or "<rejected>".
QString summaries(const std::optional<DesktopRuntimeStatusResponse>& response) {
    if (!response)
        return QStringLiteral("<rejected>");
    return summarizePairing(response->desktopPairing, AppLanguage::english) + QLatin1Char('|') +
           summarizeAppSession(response->currentAppSession, AppLanguage::english);
}

std::optional<DesktopRuntimeStatusResponse> fetch(const QString& base, const QString& token = kSentinelToken,
                                                  std::chrono::milliseconds timeout = 5s) {
    QNetworkAccessManager network;
    return QCoro::waitFor(fetchDesktopRuntimeStatus(&network, base, token, timeout));
}

CannedResponse answer(int status, const QByteArray& body) {
    CannedResponse response;
    response.status = status;
    response.body = body;
    return response;
}

// Everything Qt logs while alive, to prove the token never reaches a log.
class LogCapture {
public:
    LogCapture() {
        s_log.clear();
        m_previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& message) { s_log.append(message); });
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    static QString text() { return s_log.join(QLatin1Char('\n')); }

private:
    static inline QStringList s_log;
    QtMessageHandler m_previous = nullptr;
};

} // namespace

class TestPlatformStatusClient : public QObject {
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void decodesEveryMember();
    void survivesArbitraryBytes();
    void summariesInBothLanguages_data();
    void summariesInBothLanguages();
    void platformBaseUrl_data();
    void platformBaseUrl();

    void fetchSendsTokenAndIgnoresStatus_data();
    void fetchSendsTokenAndIgnoresStatus();
    void fetchKeepsTrailingSlash();
    void fetchWithoutRequest_data();
    void fetchWithoutRequest();
    void fetchFailures_data();
    void fetchFailures();
    void fetchTimeOutBoundsTheWholeRequest();
    void sameOriginRedirectIsFollowed();
    void tokenNeverLeavesItsOrigin_data();
    void tokenNeverLeavesItsOrigin();
};

void TestPlatformStatusClient::decodes_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");
    const QString none = kNoPairing + QLatin1Char('|') + kNoSession;

    QTest::newRow("ok false alone") << QByteArray(R"({"ok":false})") << none;
    QTest::newRow("nulls are absent")
        << QByteArray(R"({"ok":true,"desktop_pairing":null,"current_app_session":null})") << none;
    QTest::newRow("unknown members ignored")
        << QByteArray(R"({"ok":true,"extra":[1,{"a":2}],"more":null})") << none;
    QTest::newRow("ok missing") << QByteArray(R"({"desktop_pairing":null})") << "<rejected>";
    QTest::newRow("ok null") << QByteArray(R"({"ok":null})") << "<rejected>";
    QTest::newRow("ok as string") << QByteArray(R"({"ok":"true"})") << "<rejected>";
    QTest::newRow("ok as number") << QByteArray(R"({"ok":1})") << "<rejected>";
    QTest::newRow("pairing as string") << QByteArray(R"({"ok":true,"desktop_pairing":"x"})") << "<rejected>";
    QTest::newRow("pairing as array") << QByteArray(R"({"ok":true,"desktop_pairing":[]})") << "<rejected>";
    QTest::newRow("session without id")
        << QByteArray(R"({"ok":true,"current_app_session":{"device_name":"A"}})") << "<rejected>";
    QTest::newRow("session id null") << QByteArray(R"({"ok":true,"current_app_session":{"id":null}})")
                                     << "<rejected>";
    QTest::newRow("session id number")
        << QByteArray(R"({"ok":true,"current_app_session":{"id":5}})") << "<rejected>";
    QTest::newRow("unused optional mistyped")
        << QByteArray(R"({"ok":true,"current_app_session":{"id":"s","device_model":{}}})") << "<rejected>";
    QTest::newRow("pairing member mistyped")
        << QByteArray(R"({"ok":true,"desktop_pairing":{"installation_name":5}})") << "<rejected>";
    QTest::newRow("only installation id")
        << QByteArray(R"({"ok":true,"desktop_pairing":{"installation_id":"i-1"}})")
        << "Paired installation available|" + kNoSession;
    QTest::newRow("null members of pairing")
        << QByteArray(R"({"ok":true,"desktop_pairing":{"installation_name":null,"workspace":null}})")
        << "Paired installation available|" + kNoSession;
    QTest::newRow("name and workspace")
        << QByteArray(
               R"({"ok":true,"desktop_pairing":{"installation_name":"Studio Mac","workspace":"main"}})")
        << QString::fromUtf8("Studio Mac \u2022 main|") + kNoSession;
    QTest::newRow("blank name, trimmed workspace")
        << QByteArray(R"({"ok":true,"desktop_pairing":{"installation_name":" \n","workspace":"  main\t"}})")
        << "main|" + kNoSession;
    QTest::newRow("device and version")
        << QByteArray(
               R"({"ok":true,"current_app_session":{"id":"s","device_name":"Phone A","app_version":"2.1"}})")
        << kNoPairing + QString::fromUtf8("|Phone A \u2022 2.1");
    QTest::newRow("all three in order")
        << QByteArray(
               R"({"ok":true,"current_app_session":{"app_version":"3","platform":"ios","device_name":"P","id":"s"}})")
        << kNoPairing + QString::fromUtf8("|P \u2022 ios \u2022 3");
    QTest::newRow("id as last resort, untrimmed")
        << QByteArray(R"({"ok":true,"current_app_session":{"id":"  s-1 ","platform":"  "}})")
        << kNoPairing + "|  s-1 ";
    QTest::newRow("revoked session summarized")
        << QByteArray(
               R"({"ok":true,"current_app_session":{"id":"s","device_name":"P","revoked_at":"2024-01-01"}})")
        << kNoPairing + "|P";
    QTest::newRow("top level array") << QByteArray(R"([{"ok":true}])") << "<rejected>";
    QTest::newRow("empty") << QByteArray() << "<rejected>";
    QTest::newRow("html") << QByteArray("<html>500</html>") << "<rejected>";
    QTest::newRow("trailing garbage") << QByteArray(R"({"ok":true} x)") << "<rejected>";
}

void TestPlatformStatusClient::decodes() {
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    QCOMPARE(summaries(decodeDesktopRuntimeStatus(body)), expected);
}

void TestPlatformStatusClient::decodesEveryMember() {
    // Each member holds its own key name, so a swapped mapping shows.
    const QStringList pairingKeys{"installation_id", "installation_name", "platform",
                                  "workspace",       "paired_at",         "last_seen_at"};
    const QStringList sessionKeys{"id",        "product_code", "session_source", "platform",
                                  "device_id", "device_name",  "device_model",   "app_version",
                                  "app_build", "login_at",     "last_seen_at",   "revoked_at"};
    QJsonObject pairing;
    for (const QString& key : pairingKeys)
        pairing.insert(key, key);
    QJsonObject session;
    for (const QString& key : sessionKeys)
        session.insert(key, key);
    const QJsonObject root{{"ok", true}, {"desktop_pairing", pairing}, {"current_app_session", session}};

    const auto response = decodeDesktopRuntimeStatus(QJsonDocument(root).toJson());
    QVERIFY(response);
    QVERIFY(response->ok);
    QVERIFY(response->desktopPairing);
    QVERIFY(response->currentAppSession);
    const DesktopPairing& p = *response->desktopPairing;
    const QList<std::optional<QString>> pairingValues{p.installationId, p.installationName, p.platform,
                                                      p.workspace,      p.pairedAt,         p.lastSeenAt};
    for (qsizetype i = 0; i < pairingKeys.size(); ++i)
        QCOMPARE(pairingValues.at(i), std::optional<QString>(pairingKeys.at(i)));
    const AppSession& s = *response->currentAppSession;
    const QList<std::optional<QString>> sessionValues{
        s.id,          s.productCode, s.sessionSource, s.platform, s.deviceId,   s.deviceName,
        s.deviceModel, s.appVersion,  s.appBuild,      s.loginAt,  s.lastSeenAt, s.revokedAt};
    for (qsizetype i = 0; i < sessionKeys.size(); ++i)
        QCOMPARE(sessionValues.at(i), std::optional<QString>(sessionKeys.at(i)));
}

void TestPlatformStatusClient::survivesArbitraryBytes() {
    QRandomGenerator random(20240607);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes(static_cast<qsizetype>(random.bounded(512)), Qt::Uninitialized);
        for (char& byte : bytes)
            byte = static_cast<char>(random.bounded(256));
        if (round % 3 == 0)
            bytes.prepend(R"({"ok":true,"desktop_pairing":)");
        QVERIFY(!decodeDesktopRuntimeStatus(bytes));
    }
    QVERIFY(!decodeDesktopRuntimeStatus(QByteArray(100000, '[') + QByteArray(100000, ']')));
    QVERIFY(!decodeDesktopRuntimeStatus(R"({"ok":true,"x":)" + QByteArray(100000, '{')));
    QVERIFY(!decodeDesktopRuntimeStatus(QByteArray(10 * 1024 * 1024, ' ') + '{'));
}

void TestPlatformStatusClient::summariesInBothLanguages_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("none");
    QTest::addColumn<QString>("empty");
    QTest::addColumn<QString>("noSession");
    QTest::newRow("English") << int(AppLanguage::english) << "No paired installation"
                             << "Paired installation available"
                             << "No active phone session";
    QTest::newRow("Chinese") << int(AppLanguage::chinese) << QString::fromUtf8("没有已配对的安装实例")
                             << QString::fromUtf8("已检测到配对安装实例")
                             << QString::fromUtf8("没有活跃的手机会话");
}

void TestPlatformStatusClient::summariesInBothLanguages() {
    QFETCH(int, language);
    QFETCH(QString, none);
    QFETCH(QString, empty);
    QFETCH(QString, noSession);
    const auto lang = static_cast<AppLanguage>(language);
    QCOMPARE(summarizePairing(std::nullopt, lang), none);
    QCOMPARE(summarizePairing(DesktopPairing{}, lang), empty);
    QCOMPARE(summarizeAppSession(std::nullopt, lang), noSession);
    // Values themselves are never translated.
    DesktopPairing named;
    named.installationName = QStringLiteral("Mac");
    QCOMPARE(summarizePairing(named, lang), QStringLiteral("Mac"));
    AppSession session;
    session.id = QStringLiteral("s-1");
    QCOMPARE(summarizeAppSession(session, lang), QStringLiteral("s-1"));
}

void TestPlatformStatusClient::platformBaseUrl_data() {
    QTest::addColumn<QByteArray>("env"); // "<none>": no file
    QTest::addColumn<QByteArray>("override");
    QTest::addColumn<QString>("expected"); // "<default>": the built-in value

    QTest::newRow("no file") << QByteArray("<none>") << QByteArray() << "<default>";
    QTest::newRow("neither key") << QByteArray("RELAY_TOKEN=t\n") << QByteArray() << "<default>";
    QTest::newRow("base wins") << QByteArray("PLATFORM_API_BASE_URL=http://b\nPLATFORM_BASE_URL=http://a\n")
                               << QByteArray() << "http://a";
    QTest::newRow("blank base falls through")
        << QByteArray("PLATFORM_BASE_URL=\"  \"\nPLATFORM_API_BASE_URL= http://b/ \n") << QByteArray()
        << "http://b/";
    QTest::newRow("trailing slash kept, value trimmed")
        << QByteArray("PLATFORM_BASE_URL=  http://a/api/  \n") << QByteArray() << "http://a/api/";
    QTest::newRow("written as is") << QByteArray("PLATFORM_BASE_URL=HTTP://A//x\n") << QByteArray()
                                   << "HTTP://A//x";
    QTest::newRow("override replaces the default")
        << QByteArray() << QByteArray("http://127.0.0.1:9/api") << "http://127.0.0.1:9/api";
    QTest::newRow("file wins over the override")
        << QByteArray("PLATFORM_BASE_URL=http://a\n") << QByteArray("http://127.0.0.1:9/api") << "http://a";
}

void TestPlatformStatusClient::platformBaseUrl() {
    QFETCH(QByteArray, env);
    QFETCH(QByteArray, override);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    if (env != "<none>")
        QVERIFY(writeFile(dir.filePath(QStringLiteral("config/.env")), env));
    ScopedEnv variable("SKERRIN_PLATFORM_BASE_URL", override);

    const QString url = platformBaseURL(dir.path());
    if (expected != QLatin1String("<default>")) {
        QCOMPARE(url, expected);
        return;
    }
    QCOMPARE(url, defaultPlatformBaseUrl());
    const QUrl parsed(url);
    QCOMPARE(parsed.scheme(), QStringLiteral("https"));
    QCOMPARE(parsed.path().count(QLatin1Char('/')), 1);
    QVERIFY(parsed.path().size() > 1);
}

void TestPlatformStatusClient::fetchSendsTokenAndIgnoresStatus_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");
    QTest::newRow("401 with ok false")
        << 401 << QByteArray(R"({"ok":false})") << kNoPairing + "|" + kNoSession;
    QTest::newRow("200 with pairing")
        << 200 << QByteArray(R"({"ok":true,"desktop_pairing":{"workspace":"main"}})") << "main|" + kNoSession;
    QTest::newRow("500 not JSON") << 500 << QByteArray("Internal error") << "<rejected>";
    QTest::newRow("200 not decodable")
        << 200 << QByteArray(R"({"ok":true,"current_app_session":{}})") << "<rejected>";
}

void TestPlatformStatusClient::fetchSendsTokenAndIgnoresStatus() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    LoopbackServer server;
    server.setResponse(kStatusPath, answer(status, body));
    LogCapture log;

    QCOMPARE(summaries(fetch(server.baseUrl())), expected);
    const QList<RecordedRequest> requests = server.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QByteArray("GET"));
    QCOMPARE(requests.first().path, kStatusPath);
    QVERIFY(requests.first().header("Authorization") == "Bearer " + kSentinelToken.toUtf8());
    QVERIFY(!LogCapture::text().contains(kSentinelToken));
}

void TestPlatformStatusClient::fetchKeepsTrailingSlash() {
    // The URL is built with a double slash; Qt folds it when writing the request line.
    LoopbackServer server;
    server.setResponse(kStatusPath, answer(200, R"({"ok":true})"));
    QVERIFY(fetch(server.baseUrl() + QLatin1Char('/')));
    QCOMPARE(server.requests().value(0).path, kStatusPath);
}

void TestPlatformStatusClient::fetchWithoutRequest_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("token");
    QTest::newRow("empty token") << "http://127.0.0.1:1"
                                 << "";
    QTest::newRow("empty base") << "" << kSentinelToken;
    QTest::newRow("invalid base") << "not a url" << kSentinelToken;
    QTest::newRow("no host") << "http://" << kSentinelToken;
    QTest::newRow("token with a line break") << "http://127.0.0.1:1" << kSentinelToken + "\r\nX-Injected: 1";
}

void TestPlatformStatusClient::fetchWithoutRequest() {
    QFETCH(QString, base);
    QFETCH(QString, token);
    QNetworkAccessManager network;
    QSignalSpy finished(&network, &QNetworkAccessManager::finished);
    QVERIFY(!QCoro::waitFor(fetchDesktopRuntimeStatus(&network, base, token)));
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 0);
}

void TestPlatformStatusClient::fetchFailures_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("refused") << "refused";
    QTest::newRow("10 MB body") << "huge";
    QTest::newRow("connection cut mid-body") << "cut";
}

void TestPlatformStatusClient::fetchFailures() {
    QFETCH(QString, kind);
    LoopbackServer server;
    std::unique_ptr<StallingServer> cutter;
    QString base = server.baseUrl();
    if (kind == QLatin1String("refused")) {
        base = QStringLiteral("http://127.0.0.1:%1").arg(unusedLoopbackPort());
    } else if (kind == QLatin1String("huge")) {
        // Valid JSON, padded: the size alone rejects it.
        server.setResponse(kStatusPath, answer(200, R"({"ok":true})" + QByteArray(10 * 1024 * 1024, ' ')));
    } else {
        // Announces more than it sends, then the server is torn down.
        cutter = std::make_unique<StallingServer>(
            QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"ok\":true}"), 1ms);
        base = cutter->url(QString());
        QNetworkAccessManager network;
        auto task = fetchDesktopRuntimeStatus(&network, base, kSentinelToken, 5s);
        QTest::qWait(200);
        cutter.reset();
        QVERIFY(!QCoro::waitFor(std::move(task)));
        return;
    }
    QVERIFY(!fetch(base));
}

void TestPlatformStatusClient::fetchTimeOutBoundsTheWholeRequest() {
    LoopbackServer server;
    CannedResponse trickle = answer(200, R"({"ok":true})" + QByteArray(2000, ' '));
    trickle.trickleInterval = 10ms;
    server.setResponse(kStatusPath, trickle);
    QVERIFY(!fetch(server.baseUrl(), kSentinelToken, 500ms));

    StallingServer silent;
    QVERIFY(!fetch(silent.url(QString()), kSentinelToken, 300ms));
    QCOMPARE(silent.acceptedCount(), 1);
}

void TestPlatformStatusClient::sameOriginRedirectIsFollowed() {
    LoopbackServer server;
    server.setResponse(kStatusPath, CannedResponse::redirect(QStringLiteral("/moved")));
    server.setResponse(QStringLiteral("/moved"),
                       answer(200, R"({"ok":true,"desktop_pairing":{"workspace":"w"}})"));

    QCOMPARE(summaries(fetch(server.baseUrl())), "w|" + kNoSession);
    const QList<RecordedRequest> requests = server.requests();
    QVERIFY(!requests.isEmpty());
    QCOMPARE(requests.last().path, QStringLiteral("/moved"));
    QVERIFY(requests.last().header("Authorization") == "Bearer " + kSentinelToken.toUtf8());
}

void TestPlatformStatusClient::tokenNeverLeavesItsOrigin_data() {
    QTest::addColumn<QString>("target"); // "$B" is the other server's base URL, "$PORT" the first's port
    QTest::newRow("other port") << "$B/v1/desktop/runtime/status";
    QTest::newRow("other host, same port") << "http://localhost:$PORT/elsewhere";
}

void TestPlatformStatusClient::tokenNeverLeavesItsOrigin() {
    QFETCH(QString, target);
    LoopbackServer first;
    LoopbackServer other;
    const QByteArray valid = R"({"ok":true})";
    other.setResponse(kStatusPath, answer(200, valid));
    first.setResponse(QStringLiteral("/elsewhere"), answer(200, valid));
    target.replace(QStringLiteral("$B"), other.baseUrl())
        .replace(QStringLiteral("$PORT"), QString::number(first.port()));
    first.setResponse(kStatusPath, CannedResponse::redirect(target));
    LogCapture log;

    QVERIFY(!fetch(first.baseUrl()));
    QCOMPARE(other.requestCount(), 0);
    // The first origin saw only the status path; nothing came back to it under another name.
    for (const RecordedRequest& request : first.requests())
        QCOMPARE(request.path, kStatusPath);
    QVERIFY(!LogCapture::text().contains(kSentinelToken));
}

QTEST_GUILESS_MAIN(TestPlatformStatusClient)
#include "tst_platform_status_client.moc"
