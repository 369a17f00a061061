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
using namespace std::chrono_literals;
using Model = ConnectorMenuBarModel;

// The pairing script as node runs it: it records its arguments beside itself, then runs `then`.
QByteArray pairingScript(const QByteArray& then) {
    return "import fs from 'node:fs';\nimport cp from 'node:child_process';\n"
           "const out = (name, text) => fs.writeFileSync(new URL(name, import.meta.url), text);\n"
           "out('args.json', JSON.stringify(process.argv.slice(2)));\n" +
           then;
}

// Running, as opposed to gone or a zombie nobody has reaped yet.
bool alive(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    return status.open(QIODevice::ReadOnly) && !status.readAll().contains("State:\tZ");
}

// The two pairing steps with a real node script, cancelling them, and the primary action's rows.
class TestPairingFlow : public QObject {
    Q_OBJECT
    TemporaryHome m_home;
    std::optional<LoopbackServer> m_server;
    std::optional<TestRuntime> m_runtime;

    std::unique_ptr<Model> makeModel(bool withRuntime = true) {
        auto model = std::make_unique<Model>(makeTestServices());
        if (withRuntime)
            model->updateRuntimeRoot(m_runtime->root(), std::nullopt);
        return model;
    }
    static void finish(Model& model) { QCoro::waitFor(model.cancelRefreshLoop()); }
    QString file(const QString& name) const { return m_runtime->root() + "/scripts/" + name; }
    QByteArray read(const QString& name) const {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

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
        m_runtime->setScript(RuntimeLayout::pairingScript, pairingScript("console.log('qr written')"));
        auto model = makeModel();
        QCoro::waitFor(model->startPairing());
        QCOMPARE(model->transientMessage().value_or("") + '|' + model->latestActionOutput(),
                 "Pairing QR generated.|qr written");
        const QStringList expected{"--",
                                   "--start",
                                   "--platform-base-url",
                                   "http://base.example/api",
                                   "--env-file",
                                   m_runtime->root() + "/config/.env"};
        QCOMPARE(QJsonDocument::fromJson(read("args.json")).array().toVariantList(),
                 QVariant(expected).toList());
        m_runtime->setScript(RuntimeLayout::pairingScript, pairingScript(""));
        QCoro::waitFor(model->waitForPairingConfirmation());
        QCOMPARE(model->transientMessage().value_or(""), "Pairing wait finished.");
        QCOMPARE(QJsonDocument::fromJson(read("args.json")).array().at(1).toString(), "--wait");
        finish(*model);
    }
    void textsAreChosenWhenTheStepBegins() {
        m_runtime->setScript(
            RuntimeLayout::pairingScript,
            pairingScript("const t = setInterval(() => { if (fs.existsSync(new URL('go', "
                          "import.meta.url))) { console.log('ok'); clearInterval(t); } }, 20);"));
        auto model = makeModel();
        QCoro::Task<> wait = model->waitForPairingConfirmation();
        QVERIFY(model->isBusy() && model->canCancelCurrentAction());
        QCOMPARE(model->transientMessage().value_or(""), "Waiting for mobile confirmation...");
        model->setLanguage(AppLanguage::chinese);
        writeFile(file("go"), "");
        QCoro::waitFor(wait);
        QCOMPARE(model->transientMessage().value_or(""), "Pairing confirmed.");
        QVERIFY(!model->canCancelCurrentAction());
        finish(*model);
    }
    void failedStartShowsTheSessionOnDisk() {
        m_runtime->setScript(RuntimeLayout::pairingScript,
                             pairingScript("console.error('boom'); process.exit(3);"));
        m_runtime->setPairingSession(R"({"setup_code":"EARLIER-1"})");
        auto model = makeModel();
        QCoro::waitFor(model->startPairing());
        QCOMPARE(model->transientMessage().value_or(""), "boom\n");
        QCOMPARE(model->pairingSession().value_or(PairingSessionState{}).setupCode, "EARLIER-1");
        finish(*model);
    }
    void cancelEndsTheScriptAndWhatItStarted() {
        // A script that shrugs off SIGTERM and leaves a child in its group.
        m_runtime->setScript(
            RuntimeLayout::pairingScript,
            pairingScript("process.on('SIGTERM', () => {});\n"
                          "const c = cp.spawn('sleep', ['300']);\n"
                          "out('pids', process.pid + ' ' + c.pid); setInterval(() => {}, 1000);"));
        auto model = makeModel();
        QCoro::Task<> wait = model->waitForPairingConfirmation();
        QVERIFY(QTest::qWaitFor([&] { return read("pids").contains(' '); }, 10000));
        const QList<QByteArray> pids = read("pids").split(' ');
        model->cancelCurrentAction();
        QCoro::waitFor(wait); // SIGKILL after 3 s
        QCOMPARE(model->transientMessage().value_or("") + '|' + model->latestActionOutput(),
                 "Action cancelled.|Action cancelled.");
        QVERIFY(!model->isBusy() && !model->canCancelCurrentAction());
        QVERIFY(model->statusSummary() != "Not configured"); // the refreshes ran
        QVERIFY(
            QTest::qWaitFor([&] { return !alive(pids[0].toLongLong()) && !alive(pids[1].toLongLong()); }));
        finish(*model);
    }
    void primaryAction_data() {
        QTest::addColumn<QByteArray>("env");
        QTest::addColumn<bool>("pending"); // a pairing session on disk
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("message"); // empty: none
        const QByteArray configured = "RELAY_TOKEN=t\nCONNECTOR_WORKSPACE=w\n";
        QTest::newRow("no runtime: install")
            << QByteArray() << false << false
            << "The data couldn’t be read because it isn’t in the correct format.";
        QTest::newRow("not configured: pair") << QByteArray() << false << false << "Pairing QR generated.";
        QTest::newRow("pending session: pair") << configured << true << true << "Pairing QR generated.";
        QTest::newRow("stopped: keep online") << configured << false << false << "Desktop service is online.";
        QTest::newRow("running: refresh only") << configured << false << true << "";
    }
    void primaryAction() {
        QFETCH(QByteArray, env);
        QFETCH(bool, pending);
        QFETCH(bool, running);
        m_server->setResponse("/manifest", {.status = 404, .body = "<html>not here</html>"});
        m_runtime->setEnv(env);
        m_runtime->setScript(RuntimeLayout::pairingScript, pairingScript("console.log('qr')"));
        if (pending)
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
