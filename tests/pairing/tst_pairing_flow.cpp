// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "support/FakeServices.h"
#include "support/LoopbackServer.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace skerrin;
using namespace skerrin::test;
using Model = ConnectorMenuBarModel;

// Running, as opposed to gone or a zombie nobody has reaped yet.
bool alive(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    return status.open(QIODevice::ReadOnly) && !status.readAll().contains("State:\tZ");
}

// The two pairing steps with a real node script, cancelling one, and the primary action's rows.
class TestPairingFlow : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    std::optional<LoopbackServer> m_server;
    std::optional<TestRuntime> m_runtime;

    // The pairing script records its arguments in scripts/args.json, then runs `then`.
    void setScript(const QByteArray& then) {
        m_runtime->setScript(
            RuntimeLayout::pairingScript,
            "import fs from 'node:fs'; import cp from 'node:child_process';\n"
            "const out = (name, text) => fs.writeFileSync(new URL(name, import.meta.url), text);\n"
            "out('args.json', JSON.stringify(process.argv.slice(2)));\n" +
                then);
    }
    QByteArray read(const char* name) const {
        QFile file(m_runtime->root() + "/scripts/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    std::unique_ptr<Model> makeModel(bool withRuntime = true) {
        auto model = std::make_unique<Model>(makeTestServices());
        if (withRuntime)
            model->updateRuntimeRoot(m_runtime->root(), std::nullopt);
        return model;
    }
    static QString shown(const Model& model) {
        return model.transientMessage().value_or("") + '|' + model.latestActionOutput();
    }
    static void finish(Model& model) { QCoro::waitFor(model.cancelRefreshLoop()); }

private slots:
    void init() {
        m_home.empty();
        m_server.emplace();
        qputenv("SKERRIN_CHATGPT_URL", m_server->url("/chat").toUtf8());
        qputenv("SKERRIN_MANIFEST_URL", m_server->url("/manifest").toUtf8());
        m_runtime.emplace(m_home.path() + "/rt 'q' \"d\" $HOME ü 漢");
    }
    void bothStepsGetSixArguments() {
        m_runtime->setEnv("PLATFORM_BASE_URL=  http://base.example/api  \n");
        setScript("console.log('qr written')");
        auto model = makeModel();
        QCoro::waitFor(model->startPairing());
        QCOMPARE(shown(*model), "Pairing QR generated.|qr written");
        QCOMPARE(QJsonDocument::fromJson(read("args.json")).array().toVariantList(),
                 QVariant(QStringList{"--", "--start", "--platform-base-url", "http://base.example/api",
                                      "--env-file", m_runtime->root() + "/config/.env"})
                     .toList());
        setScript("");
        QCoro::waitFor(model->waitForPairingConfirmation());
        QCOMPARE(shown(*model), "Pairing wait finished.|Pairing wait finished.");
        QCOMPARE(QJsonDocument::fromJson(read("args.json")).array().at(1).toString(), "--wait");
        finish(*model);
    }
    void textsAreChosenWhenTheStepBegins() {
        setScript("setInterval(() => fs.existsSync(new URL('go', import.meta.url)) && process.exit(0), 20);");
        auto model = makeModel();
        QCoro::Task<> wait = model->waitForPairingConfirmation();
        QCOMPARE(shown(*model), "Waiting for mobile confirmation...|Waiting for mobile confirmation...");
        model->setLanguage(AppLanguage::chinese);
        writeFile(m_runtime->root() + "/scripts/go", "");
        QCoro::waitFor(wait);
        QCOMPARE(shown(*model), "Pairing wait finished.|Pairing wait finished.");
        finish(*model);
    }
    void failedStartShowsTheSessionOnDisk() {
        setScript("console.error('boom'); process.exit(3);");
        m_runtime->setPairingSession(R"({"setup_code":"EARLIER-1"})");
        auto model = makeModel();
        QCoro::waitFor(model->startPairing());
        QCOMPARE(shown(*model), "boom\n|boom\n");
        QCOMPARE(model->pairingSession().value_or(PairingSessionState{}).setupCode, "EARLIER-1");
        finish(*model);
    }
    void cancelEndsTheScriptAndWhatItStarted() {
        // A script that shrugs off SIGTERM and leaves a child in its group.
        setScript("process.on('SIGTERM', () => {}); const c = cp.spawn('sleep', ['300']);\n"
                  "out('pids', process.pid + ' ' + c.pid); setInterval(() => {}, 1000);");
        auto model = makeModel();
        QCoro::Task<> wait = model->waitForPairingConfirmation();
        QVERIFY(QTest::qWaitFor([&] { return read("pids").contains(' '); }, 10000));
        QVERIFY(model->canCancelCurrentAction());
        const QList<QByteArray> pids = read("pids").split(' ');
        model->cancelCurrentAction();
        QCoro::waitFor(wait); // SIGKILL after 3 s
        QCOMPARE(shown(*model), "Action cancelled.|Action cancelled.");
        QVERIFY(!model->isBusy() && !model->canCancelCurrentAction());
        QVERIFY(model->statusSummary() != "Not configured"); // the refreshes ran
        QVERIFY(
            QTest::qWaitFor([&] { return !alive(pids[0].toLongLong()) && !alive(pids[1].toLongLong()); }));
        finish(*model);
    }
    void primaryAction_data() {
        QTest::addColumn<QByteArray>("env");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("message"); // empty: none
        const QByteArray configured = "RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=w\n";
        QTest::newRow("no runtime: install")
            << QByteArray() << false << "The data couldn’t be read because it isn’t in the correct format.";
        QTest::newRow("not configured: pair") << QByteArray() << false << "Pairing QR generated.";
        QTest::newRow("pending session: pair") << configured << true << "Pairing QR generated.";
        QTest::newRow("stopped: keep online") << configured << false << "Desktop service is online.";
        QTest::newRow("running: refresh only") << configured << true << "";
    }
    void primaryAction() {
        QFETCH(QByteArray, env);
        QFETCH(bool, running);
        m_server->setResponse("/manifest", {.status = 404, .body = "<html>not here</html>"});
        m_runtime->setEnv(env);
        setScript("console.log('qr')");
        if (QTest::currentDataTag() == QByteArray("pending session: pair"))
            m_runtime->setPairingSession(R"({"setup_code":"P-1"})");
        auto model = makeModel(QTest::currentDataTag() != QByteArray("no runtime: install"));
        model->refreshPairingSession();
        ModelSeed(*model).running(running);
        QCoro::waitFor(model->performPrimaryAction());
        QTEST(model->transientMessage().value_or(""), "message");
        QVERIFY(!model->isBusy());
        finish(*model);
    }
};

QTEST_GUILESS_MAIN(TestPairingFlow)
#include "tst_pairing_flow.moc"
