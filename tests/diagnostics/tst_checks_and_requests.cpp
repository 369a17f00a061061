// SPDX-License-Identifier: MIT
#include "core/Paths.h"
#include "diagnostics/CodexProbes.h"
#include "diagnostics/ConnectivityChecks.h"
#include "diagnostics/SetupChecks.h"
#include "net/BoundedRequest.h"
#include "net/QtHttpClient.h"
#include "pairing/PairingSession.h"
#include "pairing/PlatformStatusClient.h"
#include "runtime/EnvFile.h"
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QElapsedTimer>
#include <QTest>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString shown(const ProbeResult& r) {
    return (r.isReady ? "ready: " : "not ready: ") + r.detail;
}

// Each row's readiness as 1 or 0, in the panel's order.
QString readiness(const QList<SetupCheck>& checks) {
    QString flags;
    for (const SetupCheck& check : checks)
        flags += check.isReady ? u'1' : u'0';
    return flags;
}

// The setup checks and what they are built from: the .env reader, tilde expansion, the Codex probes;
// the two users of the bounded request: the connectivity probe and the platform status client.
class TestChecksAndRequests : public QObject {
    Q_OBJECT
    LoopbackServer m_server, m_elsewhere;
    TemporaryHome m_home; // keeps the real ~/.codex out
    QTemporaryDir m_dir;
    TestRuntime m_runtime{m_home.path() + "/runtime"};
    QHash<QString, std::optional<QString>> m_found; // command -> what looking it up finds

    QList<SetupCheck> build(bool interactive, bool valid = false, std::optional<QString> bin = {},
                            std::optional<QString> home = {}) {
        // As the real lookup does, but any path counts as an executable.
        const auto resolve = [this](auto path, auto cmd) {
            return path.value_or("").isEmpty() ? m_found.value(cmd) : path;
        };
        return buildSetupChecks({m_runtime.root(), valid, bin, home}, interactive, resolve);
    }

private slots:
    void envFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<EnvValues>("values");
        const auto row = [](const char* name, QByteArray c, EnvValues v) { QTest::newRow(name) << c << v; };
        row("syntax", "# A=1\n\n  #B=2\nexport C=3\n  D =  4  \nE\n=5\nK=1\nK=a=b # $X\\n\nrelay_token=\n",
            {{"export C", "3"}, {"D", "4"}, {"", "5"}, {"K", "a=b # $X\\n"}, {"relay_token", ""}});
        row("quotes", "A=\"x y\"\nB='x y'\nC=\"\nD=\"x'\nE=\"\"x\"\"\n",
            {{"A", "x y"}, {"B", "x y"}, {"C", "\""}, {"D", "\"x'"}, {"E", "\"x\""}});
        row("line breaks, NUL", QByteArrayLiteral("K=1\r\nL=2\rM=3\xe2\x80\xa8N=4\xc2\x85O=x\0y"),
            {{"K", "1"}, {"L", "2"}, {"M", "3"}, {"N", "4"}, {"O", QStringLiteral("x\0y")}});
        row("invalid UTF-8: no keys", "A=1\nRELAY_TOKEN=caf\xe9\n", {});
        row("over 1 MiB: no keys", QByteArray(1 << 20, 'x') + "\nRELAY_TOKEN=t", {});
    }
    void envFile() {
        QFETCH(QByteArray, content);
        QFETCH(EnvValues, values);
        QVERIFY(writeFile(envFilePath(m_dir.path()), content));
        QCOMPARE(parseEnvFile(envFilePath(m_dir.path())), values);
        QCOMPARE(relayToken(m_dir.path()), values.value("RELAY_TOKEN").trimmed());
    }
    void tildeAndCodexHome() {
        const passwd* me = getpwuid(getuid());
        QVERIFY(me != nullptr);
        ScopedEnv home("HOME", "/h/u/");
        QCOMPARE(expandTilde("~"), "/h/u");
        QCOMPARE(expandTilde("~/x/~"), "/h/u/x/~");
        QCOMPARE(expandTilde("~no-such-user-skerrin/x"), "~no-such-user-skerrin/x");
        QCOMPARE(expandTilde('~' + QString::fromLocal8Bit(me->pw_name)), QString::fromLocal8Bit(me->pw_dir));
        const QString t = m_dir.filePath("home"); // a home with several Codex homes
        ScopedEnv codexHomes("HOME", t.toUtf8());
        for (auto f : {"/.config/codex/archived_sessions", "/.codex/x", "/s/sessions/x", "/e/auth.json"})
            QVERIFY(writeFile(t + f, ""));
        QCOMPARE(resolveCodexHome(" \t", "\n"), t + "/.config/codex"); // blank, or no marker: skipped
        QVERIFY(writeFile(t + "/.codex/config.toml", ""));
        QCOMPARE(resolveCodexHome(t + "/missing", t + "/e/auth.json"), t + "/.codex"); // a file is no home
        QCOMPARE(resolveCodexHome(std::nullopt, " ~/s "), t + "/s");
        QCOMPARE(resolveCodexHome("~/e", "~/s"), t + "/e");
    }
    void loginStatus() {
        const QString tool = m_dir.filePath("tool's dir/codex"); // a shell would trip over the quote
        const auto login = [&](auto s) { return writeScript(tool, s) ? shown(codexLoginStatus(tool)) : ""; };
        QCOMPARE(login("echo $# $* >&2; sleep 0.1; printf out"), "not ready: out\n2 login status");
        QCOMPARE(login("printf ' \\n\\t' >&2"), "not ready: No login status output");
        QCOMPARE(login("echo 'Not logged in'"), "not ready: Not logged in");
        QCOMPARE(login("printf 'Logged in \\xff' >&2; echo 'not yet'"), "not ready: not yet");
        QCOMPARE(login("sleep 60 & wait"), "not ready: codex login status timed out"); // bounded
        // Last, so that a bare "codex" looked up on PATH below would be found logged in.
        QCOMPARE(login("echo 'STATUS: LOGGED IN' >&2; exit 3"), "ready: STATUS: LOGGED IN");
        ScopedEnv path("PATH", m_dir.filePath("tool's dir").toUtf8()); // where a bare name must not look
        QVERIFY(writeFile(m_dir.filePath("plain"), "echo Logged in"));
        for (const QString& program : {m_dir.filePath("plain"), m_dir.path(), QString("codex"), QString()}) {
            const ProbeResult r = codexLoginStatus(program);
            QVERIFY2(!r.isReady && !r.detail.isEmpty() && !r.detail.startsWith("No login"),
                     qPrintable(r.detail));
        }
    }
    void proxyStatus() {
        const QString home = m_dir.filePath("codex-home"), toml = home + "/config.toml";
        const auto proxy = [&](auto s) { return writeFile(toml, s) ? shown(codexProxyStatus(home)) : ""; };
        QCOMPARE(shown(codexProxyStatus(home)), "not ready: Missing " + toml);
        QCOMPARE(proxy("[env]\nHTTP_PROXY=caf\xe9\nHTTPS_PROXY=b\n"), "not ready: Missing " + toml);
        QCOMPARE(proxy("x=1\n  [env]  \r\nHTTP_PROXY = \"a\"\r\nHTTPS_PROXY=''\r\n"),
                 "ready: HTTP_PROXY + HTTPS_PROXY configured in config.toml");
        // Both keys in [env] tables, which may come back later; anything else is not the table.
        QVERIFY(proxy("[env]\nHTTP_PROXY=a\n[x]\n[env]\nHTTPS_PROXY=b\n").startsWith("ready"));
        for (auto text : {"HTTP_PROXY=a\n[env]\nHTTPS_PROXY=b\n", "[env]\nHTTP_PROXY=a\n[x]\nHTTPS_PROXY=b\n",
                          "[Env]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n", "[env.x]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n"})
            QVERIFY2(proxy(text).startsWith("not ready: HTTP_PROXY or HTTPS_PROXY missing"), text);
    }
    void specialFilesReadAsMissing() {
        // An endless device or a FIFO in place of a file must neither exhaust memory nor block.
        const QString env = envFilePath(m_dir.path()), home = m_dir.filePath("codex"),
                      session = m_dir.path() + '/' + RuntimeLayout::pairingSessionFile;
        for (const bool fifo : {false, true}) {
            for (const QString& path : {env, home + "/config.toml", session}) {
                QFile::remove(path);
                QVERIFY(QDir().mkpath(QFileInfo(path).path()) &&
                        (fifo ? ::mkfifo(qPrintable(path), 0600) == 0 : QFile::link("/dev/zero", path)));
            }
            QVERIFY(parseEnvFile(env).isEmpty());
            QCOMPARE(shown(codexProxyStatus(home)), "not ready: Missing " + home + "/config.toml");
            QVERIFY(!readPairingSession(m_dir.path(), QDateTime::currentDateTimeUtc()));
        }
    }
    void notReady() {
        // Login deferred or not, there is no codex to check.
        QCOMPARE(readiness(build(true)) + readiness(build(false)), "000000000000000000");
        for (auto env :
             {"RELAY_TOKEN=t", "CONNECTOR_WORKSPACE=w", "RELAY_TOKEN=' '\nCONNECTOR_WORKSPACE=w"}) {
            m_runtime.setEnv(env); // pairing needs both
            QVERIFY2(!build(false).at(8).isReady, env);
        }
        // The settings apply where .env has no key; a blank CODEX_HOME is none.
        const QString home = m_home.path() + "/setting-home";
        QVERIFY(writeFile(home + "/auth.json", "{}"));
        m_runtime.setEnv("CODEX_HOME= \n");
        const QList<SetupCheck> checks = build(false, false, "/set/codex", home);
        QCOMPARE(checks.at(4).detail + '|' + checks.at(6).detail, "/set/codex|" + home);
    }
    void everythingInPlace() {
        const QString root = m_runtime.root(), home = root + "/codex-home", codex = root + "/bin/codex";
        QVERIFY(writeFile(home + "/config.toml", "[env]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n"));
        QVERIFY(writeScript(codex, "touch \"$0.ran\"; echo Logged in as me"));
        m_runtime.setEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\nCODEX_BIN=\nCODEX_HOME=" + home.toUtf8());
        m_found = {{"node", "/opt/node"}, {"npm", "/opt/npm"}, {"codex", codex}};
        const QList<SetupCheck> deferred = build(false, true, "/set/codex");
        QCOMPARE(readiness(deferred), "111111111");
        // Even an empty CODEX_BIN beats the setting; the probe waits for Advanced.
        QCOMPARE(deferred.at(2).detail + '|' + deferred.at(3).detail + '|' + deferred.at(4).detail + '|' +
                     deferred.at(6).detail,
                 "/opt/node|/opt/npm|" + codex + '|' + home);
        QVERIFY(!QFile::exists(codex + ".ran"));
        QCOMPARE(build(true).at(5), (SetupCheck{"codexLogin", "Codex Login", "Logged in as me", true}));
    }
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
        const auto network = makeQtHttpClient();
        const SetupCheck row = QCoro::waitFor(probeConnectivity(network.get(), "Relay", url, 600ms));
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
        const auto network = makeQtHttpClient();
        const auto got =
            QCoro::waitFor(fetchDesktopRuntimeStatus(network.get(), m_server.baseUrl(), token, 700ms));
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
        const auto network = makeQtHttpClient();
        const long peakBefore = peakResidentKiB();
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(!QCoro::waitFor(fetchDesktopRuntimeStatus(network.get(), m_server.baseUrl(), kToken)));
        // Generous bounds: the cap is reached in a fraction of a second and holds 4 MiB; only the
        // 8-second deadline or an unbounded buffer would come near them.
        QVERIFY2(elapsed.elapsed() < 4000, qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY2(peakResidentKiB() - peakBefore < 64 * 1024, qPrintable(QString::number(peakResidentKiB())));
    }
};

// Out of the class body: moc misreads braces inside raw strings there.
void TestChecksAndRequests::platformStatus_data() {
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
    row("401 decoded all the same", {.status = 401, .body = kValid}, "w|" + kNoPhone);
    row("just under the cap", {.body = kValid + QByteArray((4 << 20) - kValid.size(), ' ')}, "w|" + kNoPhone);
    row("just over it", {.body = kValid + QByteArray(4 << 20, ' ')}, {});
    // Bytes keep coming, so only a deadline on the whole request ends it (silence would too).
    row("trickles", {.body = kValid + QByteArray(300, ' '), .trickle = 10ms}, {});
    row("same-origin redirect", CannedResponse::redirect("/moved"), "w|" + kNoPhone);
    row("other port", CannedResponse::redirect(m_elsewhere.url("/elsewhere")), {});
    row("other host", CannedResponse::redirect(m_server.url("/moved").replace("127.0.0.1", "localhost")), {});
    row("token that would split the header", {.body = kValid}, {}, kToken + "\r\nX-Injected: 1");
}

QTEST_GUILESS_MAIN(TestChecksAndRequests)
#include "tst_checks_and_requests.moc"
