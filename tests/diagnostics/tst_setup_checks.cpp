// SPDX-License-Identifier: MIT
#include "diagnostics/SetupChecks.h"

#include "support/TestRuntime.h"

#include <QFile>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;

class TestSetupChecks : public QObject {
    Q_OBJECT
    TemporaryHome m_home; // keeps the real ~/.codex out
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
    void notReady() {
        const QList<SetupCheck> expected{
            {"runtime", "Runtime", "Runtime not installed yet.", false},
            {"env", ".env", "config/.env missing", false},
            {"node", "Node.js", "node not found", false},
            {"npm", "npm", "npm not found", false},
            {"codex", "Codex CLI", "codex not found", false},
            {"codexLogin", "Codex Login", "Codex login status unavailable", false},
            {"codexHome", "Codex Home", "No Codex home found", false},
            {"codexProxy", "Codex Proxy", "No Codex proxy config found", false},
            {"pairing", "Pairing Env", "relay token or workspace missing", false},
        };
        QCOMPARE(build(true), expected);
        QVERIFY(!build(false).at(5).isReady); // deferred, but there is no codex to check later
        for (auto e : {"RELAY_TOKEN=t", "CONNECTOR_WORKSPACE=w", "RELAY_TOKEN=' '\nCONNECTOR_WORKSPACE=w"}) {
            m_runtime.setEnv(e); // pairing needs both
            QVERIFY2(!build(false).at(8).isReady, e);
        }
    }
    void everythingInPlace() {
        const QString root = m_runtime.root(), home = root + "/codex-home", codex = root + "/bin/codex";
        QVERIFY(writeFile(home + "/config.toml", "[env]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n"));
        QVERIFY(writeScript(codex, "touch \"$0.ran\"; echo Logged in as me"));
        m_runtime.setEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\nCODEX_BIN=\nCODEX_HOME=" + home.toUtf8());
        m_found = {{"node", "/opt/node"}, {"npm", "/opt/npm"}, {"codex", codex}};
        const QList<SetupCheck> expected{
            {"runtime", "Runtime", root, true},
            {"env", ".env", root + "/config/.env", true},
            {"node", "Node.js", "/opt/node", true},
            {"npm", "npm", "/opt/npm", true},
            {"codex", "Codex CLI", codex, true},
            {"codexLogin", "Codex Login", "Checked only when Advanced is opened", true},
            {"codexHome", "Codex Home", home, true},
            {"codexProxy", "Codex Proxy", "HTTP_PROXY + HTTPS_PROXY configured in config.toml", true},
            {"pairing", "Pairing Env", "relay token + workspace present", true},
        };
        QCOMPARE(build(false, true, "/set/codex"), expected); // even an empty CODEX_BIN beats the setting
        QVERIFY(!QFile::exists(codex + ".ran"));              // the probe waits for Advanced
        QCOMPARE(build(true).at(5), (SetupCheck{"codexLogin", "Codex Login", "Logged in as me", true}));
        QVERIFY(QFile::exists(codex + ".ran"));
    }
    void settingsApplyWithoutEnvKeys() {
        const QString home = m_home.path() + "/setting-home";
        QVERIFY(writeFile(home + "/auth.json", "{}"));
        m_runtime.setEnv("CODEX_HOME=\n");
        const QList<SetupCheck> checks = build(false, false, "/set/codex", home);
        QCOMPARE(checks.at(4).detail, "/set/codex");
        QCOMPARE(checks.at(6).detail, home);
        QCOMPARE(checks.at(7),
                 (SetupCheck{"codexProxy", "Codex Proxy", "Missing " + home + "/config.toml", false}));
    }
};

QTEST_GUILESS_MAIN(TestSetupChecks)
#include "tst_setup_checks.moc"
