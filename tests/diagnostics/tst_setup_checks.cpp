// SPDX-License-Identifier: MIT
#include "diagnostics/SetupChecks.h"

#include "support/FakeTools.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;

namespace {

const QString kSentinelToken = QStringLiteral("sentinel-relay-token-5c1e");

// Answers lookups from a table and remembers what it was asked.
struct FakeResolver {
    QHash<QString, QString> found; // command -> path
    QList<std::pair<std::optional<QString>, QString>> calls;

    ExecutableResolver resolver() {
        return [this](const std::optional<QString>& preferred,
                      const QString& command) -> std::optional<QString> {
            calls.append({preferred, command});
            const auto hit = found.constFind(command);
            if (hit == found.constEnd())
                return std::nullopt;
            return hit.value();
        };
    }

    std::optional<QString> preferredFor(const QString& command) const {
        for (const auto& [preferred, asked] : calls) {
            if (asked == command)
                return preferred;
        }
        return QStringLiteral("<not asked>");
    }
};

const SetupCheck& row(const QList<SetupCheck>& checks, const QString& id) {
    static const SetupCheck missing{QStringLiteral("<missing>"), {}, {}, false};
    for (const SetupCheck& check : checks) {
        if (check.id == id)
            return check;
    }
    return missing;
}

} // namespace

class TestSetupChecks : public QObject {
    Q_OBJECT

private slots:
    void init();

    void nothingInstalled();
    void everythingInPlace();
    void loginRow_data();
    void loginRow();
    void codexPreference_data();
    void codexPreference();
    void codexHomeSources_data();
    void codexHomeSources();
    void pairingRow_data();
    void pairingRow();
    void tokenNeverShown();

private:
    QString at(const QString& relative) const { return m_dir->filePath(relative); }
    QString root() const { return at(QStringLiteral("runtime")); }
    void writeEnv(const QByteArray& content) {
        QVERIFY(writeFile(root() + QStringLiteral("/config/.env"), content));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScopedEnv> m_home;
};

void TestSetupChecks::init() {
    m_home.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(at(QStringLiteral("home"))));
    // No ~/.codex of the real user may leak in.
    m_home = std::make_unique<ScopedEnv>("HOME", at(QStringLiteral("home")).toUtf8());
}

void TestSetupChecks::nothingInstalled() {
    FakeResolver fake;
    const QList<SetupCheck> checks =
        buildSetupChecks({root(), false, std::nullopt, std::nullopt}, true, fake.resolver());
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
    QCOMPARE(checks, expected);
    QCOMPARE(fake.preferredFor(QStringLiteral("node")), std::nullopt);
    QCOMPARE(fake.preferredFor(QStringLiteral("npm")), std::nullopt);
    QCOMPARE(fake.preferredFor(QStringLiteral("codex")), std::nullopt);
}

void TestSetupChecks::everythingInPlace() {
    const QString codexHome = at(QStringLiteral("codex-home"));
    QVERIFY(writeFile(codexHome + QStringLiteral("/config.toml"), "[env]\nHTTP_PROXY=a\nHTTPS_PROXY=b\n"));
    writeEnv("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=main\nCODEX_HOME=" + codexHome.toUtf8() + "\n");
    FakeResolver fake;
    fake.found = {{"node", "/opt/node/bin/node"}, {"npm", "/opt/node/bin/npm"}, {"codex", "/opt/codex"}};
    // The root is reported as given, even with odd spacing.
    const QString spacedRoot = root() + QStringLiteral("/./");

    const QList<SetupCheck> checks =
        buildSetupChecks({spacedRoot, true, std::nullopt, std::nullopt}, false, fake.resolver());
    const QList<SetupCheck> expected{
        {"runtime", "Runtime", spacedRoot, true},
        {"env", ".env", spacedRoot + "/config/.env", true},
        {"node", "Node.js", "/opt/node/bin/node", true},
        {"npm", "npm", "/opt/node/bin/npm", true},
        {"codex", "Codex CLI", "/opt/codex", true},
        {"codexLogin", "Codex Login", "Checked only when Advanced is opened", true},
        {"codexHome", "Codex Home", codexHome, true},
        {"codexProxy", "Codex Proxy", "HTTP_PROXY + HTTPS_PROXY configured in config.toml", true},
        {"pairing", "Pairing Env", "relay token + workspace present", true},
    };
    QCOMPARE(checks, expected);
}

void TestSetupChecks::loginRow_data() {
    QTest::addColumn<bool>("interactive");
    QTest::addColumn<bool>("codexFound");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<bool>("probed");

    QTest::newRow("deferred, tool found")
        << false << true << true << "Checked only when Advanced is opened" << false;
    QTest::newRow("deferred, tool missing")
        << false << false << false << "Checked only when Advanced is opened" << false;
    QTest::newRow("advanced, tool missing")
        << true << false << false << "Codex login status unavailable" << false;
    QTest::newRow("advanced, tool found") << true << true << true << "Logged in using ChatGPT" << true;
}

void TestSetupChecks::loginRow() {
    QFETCH(bool, interactive);
    QFETCH(bool, codexFound);
    QFETCH(bool, ready);
    QFETCH(QString, detail);
    QFETCH(bool, probed);
    const QString marker = at(QStringLiteral("probed"));
    const QString codex = at(QStringLiteral("bin/codex"));
    QVERIFY(writeScript(codex, "touch '" + marker.toUtf8() + "'; echo 'Logged in using ChatGPT'"));
    FakeResolver fake;
    if (codexFound)
        fake.found.insert(QStringLiteral("codex"), codex);

    const QList<SetupCheck> checks =
        buildSetupChecks({root(), false, std::nullopt, std::nullopt}, interactive, fake.resolver());
    QCOMPARE(checks.size(), 9);
    QCOMPARE(checks.at(5), (SetupCheck{"codexLogin", "Codex Login", detail, ready}));
    QCOMPARE(QFile::exists(marker), probed);
}

void TestSetupChecks::codexPreference_data() {
    QTest::addColumn<QByteArray>("env");    // "<none>": no .env file
    QTest::addColumn<QString>("setting");   // "<unset>" for no setting
    QTest::addColumn<QString>("preferred"); // "<absent>" when no preferred path is passed

    QTest::newRow("setting when the key is absent") << QByteArray("A=1\n") << "/set/codex"
                                                    << "/set/codex";
    QTest::newRow("setting without an env file") << QByteArray("<none>") << "/set/codex"
                                                 << "/set/codex";
    QTest::newRow("empty key still overrides the setting") << QByteArray("CODEX_BIN=\n") << "/set/codex"
                                                           << "";
    QTest::newRow("env value overrides the setting") << QByteArray("CODEX_BIN=/env/codex\n") << "/set/codex"
                                                     << "/env/codex";
    QTest::newRow("untrimmed quoted value passed on")
        << QByteArray("CODEX_BIN=\"  /env/codex \"\n") << "<unset>"
        << "  /env/codex ";
    QTest::newRow("neither") << QByteArray("A=1\n") << "<unset>"
                             << "<absent>";
}

void TestSetupChecks::codexPreference() {
    QFETCH(QByteArray, env);
    QFETCH(QString, setting);
    QFETCH(QString, preferred);
    if (env != "<none>")
        writeEnv(env);
    FakeResolver fake;
    const std::optional<QString> codexBin =
        setting == QLatin1String("<unset>") ? std::nullopt : std::optional<QString>(setting);

    buildSetupChecks({root(), true, codexBin, std::nullopt}, false, fake.resolver());
    const std::optional<QString> expected =
        preferred == QLatin1String("<absent>") ? std::nullopt : std::optional<QString>(preferred);
    QCOMPARE(fake.preferredFor(QStringLiteral("codex")), expected);
}

void TestSetupChecks::codexHomeSources_data() {
    QTest::addColumn<QByteArray>("env");
    QTest::addColumn<bool>("settingHome");
    QTest::addColumn<QString>("home");  // relative, or "" for none
    QTest::addColumn<QString>("proxy"); // expected proxy detail; "$H" is the found home

    QTest::newRow("from the env file") << QByteArray("CODEX_HOME=$T/env-home\n") << true << "env-home"
                                       << "Missing $H/config.toml";
    QTest::newRow("empty key falls through to the setting")
        << QByteArray("CODEX_HOME=\n") << true << "setting-home"
        << "HTTP_PROXY or HTTPS_PROXY missing in config.toml";
    QTest::newRow("from the setting") << QByteArray() << true << "setting-home"
                                      << "HTTP_PROXY or HTTPS_PROXY missing in config.toml";
    QTest::newRow("none") << QByteArray() << false << ""
                          << "No Codex proxy config found";
}

void TestSetupChecks::codexHomeSources() {
    QFETCH(QByteArray, env);
    QFETCH(bool, settingHome);
    QFETCH(QString, home);
    QFETCH(QString, proxy);
    QVERIFY(writeFile(at(QStringLiteral("env-home/auth.json")), "{}"));
    QVERIFY(writeFile(at(QStringLiteral("setting-home/config.toml")), "[env]\nHTTP_PROXY=a\n"));
    writeEnv(QByteArray(env).replace("$T", m_dir->path().toUtf8()));
    FakeResolver fake;
    const std::optional<QString> setting =
        settingHome ? std::optional<QString>(at(QStringLiteral("setting-home"))) : std::nullopt;

    const QList<SetupCheck> checks =
        buildSetupChecks({root(), true, std::nullopt, setting}, false, fake.resolver());
    const SetupCheck& homeRow = row(checks, QStringLiteral("codexHome"));
    const SetupCheck& proxyRow = row(checks, QStringLiteral("codexProxy"));
    QCOMPARE(homeRow.isReady, !home.isEmpty());
    QCOMPARE(homeRow.detail, home.isEmpty() ? QStringLiteral("No Codex home found") : at(home));
    QCOMPARE(proxyRow.detail, QString(proxy).replace(QStringLiteral("$H"), at(home)));
    QVERIFY(!proxyRow.isReady);
}

void TestSetupChecks::pairingRow_data() {
    QTest::addColumn<QByteArray>("env");
    QTest::addColumn<bool>("ready");

    QTest::newRow("both") << QByteArray("RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=w\n") << true;
    QTest::newRow("token only") << QByteArray("RELAY_TOKEN=t\n") << false;
    QTest::newRow("workspace only") << QByteArray("CONNECTOR_WORKSPACE=w\n") << false;
    QTest::newRow("blank token") << QByteArray("RELAY_TOKEN=\"  \"\nCONNECTOR_WORKSPACE=w\n") << false;
    QTest::newRow("export prefix is another key")
        << QByteArray("export RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=w\n") << false;
}

void TestSetupChecks::pairingRow() {
    QFETCH(QByteArray, env);
    QFETCH(bool, ready);
    writeEnv(env);
    FakeResolver fake;
    const QList<SetupCheck> checks =
        buildSetupChecks({root(), true, std::nullopt, std::nullopt}, false, fake.resolver());
    QCOMPARE(
        row(checks, QStringLiteral("pairing")),
        (SetupCheck{"pairing", "Pairing Env",
                    ready ? "relay token + workspace present" : "relay token or workspace missing", ready}));
    QVERIFY(row(checks, QStringLiteral("env")).isReady);
}

void TestSetupChecks::tokenNeverShown() {
    // The token is also the value of every other key, so any row echoing a value would show it.
    const QByteArray token = kSentinelToken.toUtf8();
    writeEnv("RELAY_TOKEN=" + token + "\nCONNECTOR_WORKSPACE=" + token + "\nCODEX_BIN=" + token +
             "\nCODEX_HOME=" + token + "\n");
    const QString codex = at(QStringLiteral("bin/codex"));
    QVERIFY(writeScript(codex, "echo \"logged in $RELAY_TOKEN\""));
    FakeResolver fake;
    fake.found.insert(QStringLiteral("codex"), codex);

    const QList<SetupCheck> checks =
        buildSetupChecks({root(), true, std::nullopt, std::nullopt}, true, fake.resolver());
    QCOMPARE(checks.size(), 9);
    for (const SetupCheck& check : checks) {
        QVERIFY2(!check.detail.contains(kSentinelToken), qPrintable(check.id));
        QVERIFY2(!check.title.contains(kSentinelToken), qPrintable(check.id));
    }
    QVERIFY(row(checks, QStringLiteral("pairing")).isReady);
}

QTEST_GUILESS_MAIN(TestSetupChecks)
#include "tst_setup_checks.moc"
