// SPDX-License-Identifier: MIT
#include "diagnostics/SetupChecks.h"

#include "support/TestRuntime.h"

#include <QFile>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;

// Each row's readiness as 1 or 0, in the panel's order.
QString readiness(const QList<SetupCheck>& checks) {
    QString flags;
    for (const SetupCheck& check : checks)
        flags += check.isReady ? u'1' : u'0';
    return flags;
}

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
        QCOMPARE(readiness(build(true)), "000000000");
        QCOMPARE(readiness(build(false)), "000000000"); // login deferred, but no codex to check later
        for (auto env :
             {"RELAY_TOKEN=t", "CONNECTOR_WORKSPACE=w", "RELAY_TOKEN=' '\nCONNECTOR_WORKSPACE=w"}) {
            m_runtime.setEnv(env); // pairing needs both
            QVERIFY2(!build(false).at(8).isReady, env);
        }
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
    void settingsApplyWithoutEnvKeys() {
        const QString home = m_home.path() + "/setting-home";
        QVERIFY(writeFile(home + "/auth.json", "{}"));
        m_runtime.setEnv("CODEX_HOME=\n");
        const QList<SetupCheck> checks = build(false, false, "/set/codex", home);
        QCOMPARE(checks.at(4).detail + '|' + checks.at(6).detail + '|' + checks.at(7).detail,
                 "/set/codex|" + home + "|Missing " + home + "/config.toml");
    }
};

QTEST_GUILESS_MAIN(TestSetupChecks)
#include "tst_setup_checks.moc"
