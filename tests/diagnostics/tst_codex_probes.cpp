// SPDX-License-Identifier: MIT
#include "diagnostics/CodexProbes.h"

#include "support/FakeTools.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace skerrin;
using namespace skerrin::test;

class TestCodexProbes : public QObject {
    Q_OBJECT

private slots:
    void init();

    void expandsTilde_data();
    void expandsTilde();
    void expandsTildeOfNamedUser();
    void resolvesCodexHome_data();
    void resolvesCodexHome();

    void loginStatus_data();
    void loginStatus();
    void loginStartFailure_data();
    void loginStartFailure();
    void loginSeesApplicationEnvironmentAndFolder();
    void loginSurvivesMegabytesOfOutput();

    void proxyStatus_data();
    void proxyStatus();
    void proxyMissingConfig();

private:
    QString at(const QString& relative) const { return m_dir->filePath(relative); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScopedEnv> m_home;
};

void TestCodexProbes::init() {
    m_home.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(at(QStringLiteral("home"))));
    m_home = std::make_unique<ScopedEnv>("HOME", at(QStringLiteral("home")).toUtf8());
}

void TestCodexProbes::expandsTilde_data() {
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("bare tilde") << QByteArray("/h/u") << "~"
                                << "/h/u";
    QTest::newRow("tilde slash") << QByteArray("/h/u") << "~/.codex"
                                 << "/h/u/.codex";
    QTest::newRow("home with trailing slash") << QByteArray("/h/u/") << "~/x"
                                              << "/h/u/x";
    QTest::newRow("root home") << QByteArray("/") << "~/x"
                               << "/x";
    QTest::newRow("tilde inside is literal") << QByteArray("/h/u") << "/a/~/b"
                                             << "/a/~/b";
    QTest::newRow("unknown user left alone") << QByteArray("/h/u") << "~no-such-user-skerrin/x"
                                             << "~no-such-user-skerrin/x";
}

void TestCodexProbes::expandsTilde() {
    QFETCH(QByteArray, home);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    ScopedEnv env("HOME", home);
    QCOMPARE(expandTilde(input), expected);
}

void TestCodexProbes::expandsTildeOfNamedUser() {
    const passwd* me = getpwuid(getuid());
    QVERIFY(me != nullptr);
    const QString name = QString::fromLocal8Bit(me->pw_name);
    const QString home = QString::fromLocal8Bit(me->pw_dir);
    // The named form ignores HOME, which init() pointed elsewhere.
    QCOMPARE(expandTilde(QLatin1Char('~') + name), home);
    QCOMPARE(expandTilde(QLatin1Char('~') + name + QStringLiteral("/.codex")),
             (home == QLatin1String("/") ? QString() : home) + QStringLiteral("/.codex"));
}

void TestCodexProbes::resolvesCodexHome_data() {
    // Paths relative to the temporary folder; "$T" in values stands for it, HOME is "$T/home".
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("envValue"); // "<absent>" for no value
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<QString>("expected"); // relative, or "<none>"

    const QString absent = QStringLiteral("<absent>");
    QTest::newRow("environment value first")
        << QStringList{"a/config.toml", "home/.codex/auth.json"} << QStringList{} << "$T/a"
        << "$T/b"
        << "a";
    QTest::newRow("empty folder skipped") << QStringList{"home/.codex/auth.json"} << QStringList{"empty"}
                                          << "$T/empty" << absent << "home/.codex";
    QTest::newRow("settings value second")
        << QStringList{"home/.codex/auth.json"} << QStringList{"b/sessions"} << absent << "$T/b"
        << "b";
    QTest::newRow("blank values skipped")
        << QStringList{} << QStringList{"home/.config/codex/archived_sessions"} << " \n\t"
        << "   "
        << "home/.config/codex";
    QTest::newRow(".codex before .config/codex")
        << QStringList{"home/.codex/config.toml", "home/.config/codex/auth.json"} << QStringList{} << absent
        << absent << "home/.codex";
    QTest::newRow("value trimmed") << QStringList{"a/auth.json"} << QStringList{} << "  $T/a \n"
                                   << absent << "a";
    QTest::newRow("tilde in a value")
        << QStringList{"home/custom/auth.json"} << QStringList{} << "~/custom" << absent << "home/custom";
    QTest::newRow("marker may be a file or folder")
        << QStringList{"a/sessions"} << QStringList{} << "$T/a" << absent << "a";
    QTest::newRow("missing path skipped")
        << QStringList{"home/.codex/auth.json"} << QStringList{} << "$T/nope"
        << "$T/nope2"
        << "home/.codex";
    QTest::newRow("other files do not count") << QStringList{"home/.codex/notes.txt", "a/auth.json.bak"}
                                              << QStringList{} << "$T/a" << absent << "<none>";
    QTest::newRow("a file is not a home")
        << QStringList{"plain"} << QStringList{} << "$T/plain" << absent << "<none>";
    QTest::newRow("nothing anywhere") << QStringList{} << QStringList{} << absent << absent << "<none>";
}

void TestCodexProbes::resolvesCodexHome() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(QString, envValue);
    QFETCH(QString, defaultValue);
    QFETCH(QString, expected);
    for (const QString& file : files)
        QVERIFY(writeFile(at(file), "x"));
    for (const QString& folder : folders)
        QVERIFY(QDir().mkpath(at(folder)));
    const auto value = [this](const QString& text) -> std::optional<QString> {
        if (text == QLatin1String("<absent>"))
            return std::nullopt;
        return QString(text).replace(QStringLiteral("$T"), m_dir->path());
    };

    const std::optional<QString> home = resolveCodexHome(value(envValue), value(defaultValue));
    if (expected == QLatin1String("<none>")) {
        QVERIFY2(!home, qPrintable(home.value_or(QString())));
    } else {
        QVERIFY(home);
        QCOMPARE(*home, at(expected));
    }
}

void TestCodexProbes::loginStatus_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<QString>("detail");

    QTest::newRow("logged in on standard error")
        << QByteArray("echo 'Logged in using ChatGPT' >&2") << true << "Logged in using ChatGPT";
    QTest::newRow("case-insensitive")
        << QByteArray("echo 'STATUS: LOGGED IN'") << true << "STATUS: LOGGED IN";
    QTest::newRow("exit status ignored") << QByteArray("echo 'Logged in'; exit 3") << true << "Logged in";
    QTest::newRow("other text is not ready")
        << QByteArray("echo 'Please log in first'; exit 1") << false << "Please log in first";
    QTest::newRow("standard output first, whatever the order written")
        << QByteArray("printf err >&2; sleep 0.1; printf out") << false << "out\nerr";
    QTest::newRow("kept texts joined untrimmed")
        << QByteArray("echo out; echo err >&2") << false << "out\n\nerr";
    QTest::newRow("blank stream dropped")
        << QByteArray("printf '  \\n\\n'; echo '  Logged in  ' >&2") << true << "Logged in";
    QTest::newRow("arguments") << QByteArray("echo \"[$1|$2|$#]\"") << false << "[login|status|2]";
    QTest::newRow("no output") << QByteArray("exit 0") << false << "No login status output";
    QTest::newRow("only white space")
        << QByteArray("printf ' \\n\\t\\n'") << false << "No login status output";
    QTest::newRow("invalid UTF-8 counts as empty")
        << QByteArray("printf 'Logged in \\xff\\xfe'; echo 'not yet' >&2") << false << "not yet";
    QTest::newRow("UTF-8 kept") << QByteArray("echo 'Logged in as Zoë ✓'") << true << "Logged in as Zoë ✓";
}

void TestCodexProbes::loginStatus() {
    QFETCH(QByteArray, script);
    QFETCH(bool, ready);
    QFETCH(QString, detail);
    const QString codex = at(QStringLiteral("bin/codex"));
    QVERIFY(writeScript(codex, script));

    const ProbeResult result = codexLoginStatus(codex);
    QCOMPARE(result.detail, detail);
    QCOMPARE(result.isReady, ready);
}

void TestCodexProbes::loginStartFailure_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("onPath"); // a working codex sits on PATH, which must not be searched

    QTest::newRow("not executable") << "bin/codex-plain" << false;
    QTest::newRow("missing") << "bin/nothing-here" << false;
    QTest::newRow("a folder") << "bin" << false;
    QTest::newRow("bare name is not looked up") << "codex" << true;
    QTest::newRow("empty path") << "" << true;
}

void TestCodexProbes::loginStartFailure() {
    QFETCH(QString, program);
    QFETCH(bool, onPath);
    QVERIFY(writeFile(at(QStringLiteral("bin/codex-plain")), "#!/bin/bash\necho Logged in\n"));
    QVERIFY(writeScript(at(QStringLiteral("tools/codex")), "echo Logged in"));
    std::unique_ptr<ScopedEnv> path;
    if (onPath)
        path = std::make_unique<ScopedEnv>("PATH", at(QStringLiteral("tools")).toUtf8());

    const ProbeResult result =
        codexLoginStatus(program.startsWith(QLatin1String("bin")) ? at(program) : program);
    QVERIFY(!result.isReady);
    QVERIFY(!result.detail.isEmpty());
    QVERIFY2(result.detail != QLatin1String("No login status output"), qPrintable(result.detail));
    QVERIFY2(!result.detail.contains(QLatin1String("Logged in")), qPrintable(result.detail));
}

void TestCodexProbes::loginSeesApplicationEnvironmentAndFolder() {
    const QString codex = at(QStringLiteral("bin/codex"));
    QVERIFY(writeScript(codex, "echo \"$SKERRIN_PROBE_MARK|$PWD\""));
    ScopedEnv mark("SKERRIN_PROBE_MARK", "inherited");
    const ProbeResult result = codexLoginStatus(codex);
    QCOMPARE(result.detail, QStringLiteral("inherited|") + QDir::currentPath());
}

void TestCodexProbes::loginSurvivesMegabytesOfOutput() {
    // More than any pipe buffer on both streams before exiting: a reader that waits for the
    // exit first would dead-lock here.
    const QString codex = at(QStringLiteral("bin/codex"));
    QVERIFY(writeScript(codex, "head -c 3000000 /dev/zero | tr '\\0' a; echo\n"
                               "head -c 3000000 /dev/zero | tr '\\0' b >&2; echo ' logged in' >&2"));
    const ProbeResult result = codexLoginStatus(codex);
    QVERIFY(result.isReady);
    QCOMPARE(result.detail.size(), 3000000 + 2 + 3000000 + 10);
    QVERIFY(result.detail.startsWith(QLatin1Char('a')));
    QCOMPARE(result.detail.mid(2999999, 4), QStringLiteral("a\n\nb"));
    QVERIFY(result.detail.endsWith(QLatin1String("b logged in")));
}

void TestCodexProbes::proxyStatus_data() {
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<bool>("ready");

    QTest::newRow("both in [env]")
        << QByteArray("[env]\nHTTP_PROXY = \"http://p:1\"\nHTTPS_PROXY = \"http://p:2\"\n") << true;
    QTest::newRow("unquoted, spaced, indented header")
        << QByteArray("  [env]  \n  HTTP_PROXY=a\nHTTPS_PROXY   =   b  \n") << true;
    QTest::newRow("CRLF") << QByteArray("[env]\r\nHTTP_PROXY=a\r\nHTTPS_PROXY=b\r\n") << true;
    QTest::newRow("other section") << QByteArray("[proxy]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n") << false;
    QTest::newRow("before any header") << QByteArray("HTTP_PROXY=a\nHTTPS_PROXY=b\n[env]\n") << false;
    QTest::newRow("spaced header") << QByteArray("[ env ]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n") << false;
    QTest::newRow("capitalised header") << QByteArray("[Env]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n") << false;
    QTest::newRow("dotted header") << QByteArray("[env.extra]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n") << false;
    QTest::newRow("array-of-tables header") << QByteArray("[[env]]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n") << false;
    QTest::newRow("section ends at next header")
        << QByteArray("[env]\nHTTP_PROXY=a\n[other]\nHTTPS_PROXY=b\n") << false;
    QTest::newRow("section may reopen")
        << QByteArray("[env]\nHTTP_PROXY=a\n[other]\nX=1\n[env]\nHTTPS_PROXY=b\n") << true;
    QTest::newRow("empty double quotes") << QByteArray("[env]\nHTTP_PROXY=a\nHTTPS_PROXY = \"\"\n") << false;
    QTest::newRow("empty single quotes stay")
        << QByteArray("[env]\nHTTP_PROXY=a\nHTTPS_PROXY = ''\n") << true;
    QTest::newRow("lone double quote kept") << QByteArray("[env]\nHTTP_PROXY=\"\nHTTPS_PROXY=b\n") << true;
    QTest::newRow("later assignment wins")
        << QByteArray("[env]\nHTTP_PROXY=a\nHTTPS_PROXY=b\nHTTPS_PROXY=\n") << false;
    QTest::newRow("keys are exact") << QByteArray("[env]\nhttp_proxy=a\nHTTPS_PROXY=b\n") << false;
    QTest::newRow("comments and bare lines ignored")
        << QByteArray("[env]\n# HTTP_PROXY=x\nHTTP_PROXY\nHTTP_PROXY=a\nHTTPS_PROXY=b\n") << true;
    QTest::newRow("commented header does not close the section")
        << QByteArray("[env]\nHTTP_PROXY=a\n#[other]\nHTTPS_PROXY=b\n") << true;
    QTest::newRow("empty file") << QByteArray() << false;
}

void TestCodexProbes::proxyStatus() {
    QFETCH(QByteArray, config);
    QFETCH(bool, ready);
    const QString home = at(QStringLiteral("codex-home"));
    QVERIFY(writeFile(home + QStringLiteral("/config.toml"), config));

    const ProbeResult result = codexProxyStatus(home);
    QCOMPARE(result.isReady, ready);
    QCOMPARE(result.detail, ready ? QStringLiteral("HTTP_PROXY + HTTPS_PROXY configured in config.toml")
                                  : QStringLiteral("HTTP_PROXY or HTTPS_PROXY missing in config.toml"));
}

void TestCodexProbes::proxyMissingConfig() {
    const QString home = at(QStringLiteral("codex-home"));
    QVERIFY(QDir().mkpath(home));
    const QString path = home + QStringLiteral("/config.toml");
    const ProbeResult missing = codexProxyStatus(home);
    QCOMPARE(missing, (ProbeResult{false, QStringLiteral("Missing ") + path}));

    QVERIFY(writeFile(path, "[env]\nHTTP_PROXY=caf\xe9\nHTTPS_PROXY=b\n"));
    QCOMPARE(codexProxyStatus(home), (ProbeResult{false, QStringLiteral("Missing ") + path}));

    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkpath(path)); // a folder where the file should be
    QCOMPARE(codexProxyStatus(home).detail, QStringLiteral("Missing ") + path);
}

QTEST_GUILESS_MAIN(TestCodexProbes)
#include "tst_codex_probes.moc"
