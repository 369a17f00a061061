// SPDX-License-Identifier: MIT
#include "core/Paths.h"
#include "diagnostics/CodexProbes.h"
#include "diagnostics/SetupChecks.h"
#include "pairing/PairingSession.h"
#include "runtime/EnvFile.h"

#include "support/TestRuntime.h"

#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace skerrin;
using namespace skerrin::test;

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

// The setup checks and what they are built from: the .env reader, tilde expansion, the Codex probes.
class TestSetupChecks : public QObject {
    Q_OBJECT
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
        ScopedEnv root("HOME", "/");
        QCOMPARE(expandTilde("~/x"), "/x");
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
        QCOMPARE(login("echo 'STATUS: LOGGED IN' >&2; exit 3"), "ready: STATUS: LOGGED IN");
        QCOMPARE(login("echo $# $* >&2; sleep 0.1; printf out"), "not ready: out\n2 login status");
        QCOMPARE(login("printf ' \\n\\t' >&2"), "not ready: No login status output");
        QCOMPARE(login("echo 'Not logged in'"), "not ready: Not logged in");
        QCOMPARE(login("printf 'Logged in \\xff' >&2; echo 'not yet'"), "not ready: not yet");
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
        for (const QString& path : {env, home + "/config.toml", session})
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        for (const bool fifo : {false, true}) {
            for (const QString& path : {env, home + "/config.toml", session}) {
                QFile::remove(path);
                QVERIFY(fifo ? ::mkfifo(qPrintable(path), 0600) == 0 : QFile::link("/dev/zero", path));
            }
            QVERIFY(parseEnvFile(env).isEmpty());
            QCOMPARE(shown(codexProxyStatus(home)), "not ready: Missing " + home + "/config.toml");
            QVERIFY(!readPairingSession(m_dir.path(), QDateTime::currentDateTimeUtc()));
        }
    }
    void notReady() {
        QCOMPARE(readiness(build(true)), "000000000");
        QCOMPARE(readiness(build(false)), "000000000"); // login deferred, but no codex to check later
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
};

QTEST_GUILESS_MAIN(TestSetupChecks)
#include "tst_setup_checks.moc"
