// SPDX-License-Identifier: MIT
#include "core/Paths.h"
#include "diagnostics/CodexProbes.h"

#include "support/FakeTools.h"

#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace skerrin;
using namespace skerrin::test;

class TestCodexProbes : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    static QString shown(const ProbeResult& r) { return (r.isReady ? "ready: " : "not ready: ") + r.detail; }

private slots:
    void expandsTilde() {
        const passwd* me = getpwuid(getuid());
        QVERIFY(me != nullptr);
        ScopedEnv home("HOME", "/h/u/");
        QCOMPARE(expandTilde("~"), "/h/u");
        QCOMPARE(expandTilde("~/x/~"), "/h/u/x/~");
        QCOMPARE(expandTilde("~no-such-user-skerrin/x"), "~no-such-user-skerrin/x");
        QCOMPARE(expandTilde('~' + QString::fromLocal8Bit(me->pw_name)), QString::fromLocal8Bit(me->pw_dir));
        ScopedEnv root("HOME", "/");
        QCOMPARE(expandTilde("~/x"), "/x");
    }
    void resolvesCodexHome() {
        const QString t = m_dir.filePath("home");
        ScopedEnv home("HOME", t.toUtf8());
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
        QCOMPARE(login("echo '  Logged In as Zoë ✓ '"), "ready: Logged In as Zoë ✓");
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
        const QString set = "ready: HTTP_PROXY + HTTPS_PROXY configured in config.toml";
        const QString unset = "not ready: HTTP_PROXY or HTTPS_PROXY missing in config.toml";
        QCOMPARE(shown(codexProxyStatus(home)), "not ready: Missing " + toml);
        QCOMPARE(proxy("[env]\nHTTP_PROXY=caf\xe9\nHTTPS_PROXY=b\n"), "not ready: Missing " + toml);
        QCOMPARE(proxy("x=1\n  [env]  \r\nHTTP_PROXY = \"a\"\r\nHTTPS_PROXY=''\r\n"), set);
        QCOMPARE(proxy("[env]\nHTTP_PROXY=a\nHTTPS_PROXY=\"\"\n"), unset);
        QCOMPARE(proxy("HTTP_PROXY=a\n[env]\nHTTPS_PROXY=b\n"), unset);
        QCOMPARE(proxy("[env]\nHTTP_PROXY=a\n[x]\nHTTPS_PROXY=b\n"), unset);
        QCOMPARE(proxy("[env]\nHTTP_PROXY=a\n[x]\n[env]\nHTTPS_PROXY=b\n"), set);
        for (const char* header : {"[Env]", "[env.x]"})
            QCOMPARE(proxy(header + QByteArray("\nHTTP_PROXY=a\nHTTPS_PROXY=b\n")), unset);
    }
};

QTEST_GUILESS_MAIN(TestCodexProbes)
#include "tst_codex_probes.moc"
