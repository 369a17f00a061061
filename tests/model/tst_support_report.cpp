// SPDX-License-Identifier: MIT
#include "model/SupportReport.h"
#include "runtime/SecretMask.h"
#include "support/ModelTest.h"

// The secret mask on its own, then over a model whose runtime prints its secrets: what is stored,
// copied and reported.
class TestSupportReport : public ModelCase {
    Q_OBJECT

    QString report() const {
        return m_model->maintenance().supportReport({"GNOME", "wayland", "wayland", true});
    }

private slots:
    void init() { startModel(); }
    void cleanup() { endModel(); }

    void maskHidesSecretValues_data() {
        QTest::addColumn<QByteArray>("env");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("each secret word, any case")
            << QByteArray("RELAY_TOKEN=aaaa1111\nclient_secret=bbbb2222\nDB_PASSWORD=cccc3333\n"
                          "ApiKey=dddd4444\n")
            << "aaaa1111 bbbb2222/cccc3333:dddd4444"
            << "••••1111 ••••2222/••••3333:••••4444";
        QTest::newRow("every occurrence, quotes dropped")
            << QByteArray("RELAY_TOKEN=\"tok-12345678\"\n") << "tok-12345678 and tok-12345678x"
            << "••••5678 and ••••5678x";
        QTest::newRow("short values and other keys stay")
            << QByteArray("RELAY_TOKEN=1234567\nWORKSPACE=workspace-long-name\n")
            << "1234567 workspace-long-name"
            << "1234567 workspace-long-name";
        QTest::newRow("a secret inside a longer one")
            << QByteArray("A_TOKEN=inner-secret\nB_TOKEN=outer-inner-secret-x\n")
            << "outer-inner-secret-x inner-secret"
            << "••••et-x ••••cret";
        QTest::newRow("no .env") << QByteArray() << "anything"
                                 << "anything";
    }
    void maskHidesSecretValues() {
        QFETCH(QByteArray, env);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        if (!env.isNull())
            m_runtime->setEnv(env);
        QCOMPARE(SecretMask::forRuntime(m_runtime->root()).apply(text), shown);
    }

    void secretsNeverReachStateCopyOrReport() {
        const QByteArray token = "sentinel-model-relay-token";
        m_runtime->setEnv("RELAY_TOKEN=" + token + "\n");
        // The doctor writes a second secret, then prints both: the new one is masked too.
        m_runtime->setScript(RuntimeLayout::doctorScript,
                             "echo 'NEW_API_KEY=fresh-key-98765' >> config/.env\n"
                             "echo \"warning: $0 token " +
                                 token + " fresh-key-98765\"; exit 3");
        m_runtime->setScript(RuntimeLayout::statusScript, "echo 'warning: relay " + token + "'");
        writeFile(m_runtime->root() + "/state/connector.log",
                  QByteArray("old line\n").repeated(60) + "last: " + token + '\n');
        QCoro::waitFor(m_model->maintenance().runDoctor());

        const QString script = m_runtime->root() + '/' + RuntimeLayout::doctorScript;
        QCOMPARE(m_model->actions().latestActionOutput().trimmed(),
                 "warning: " + script + " token ••••oken ••••8765");
        QCOMPARE(m_model->actions().lastOutcome()->message, m_model->actions().latestActionOutput());
        QCOMPARE(m_model->service().statusDetail(), "warning: relay ••••oken");
        QCOMPARE(m_model->actions().lastAction()->scriptPath.value_or(""), script);
        m_model->maintenance().copyLatestOutput();
        QCOMPARE(m_desktop.copied->value(0), m_model->actions().latestActionOutput());

        const QString text = report();
        for (const char* heading :
             {"# Skerrin support report", "## Skerrin", "## System", "## Runtime", "## Status",
              "## Setup checks", "## Connectivity checks", "## Platform status", "## Last action",
              "## Connector log (last 50 lines)"})
            QVERIFY2(text.contains(QString(heading) + '\n'), heading);
        QVERIFY(text.contains("- Version: 1.2.0 (45)\n"));
        QVERIFY(text.contains("- Script: ~/runtime/" + RuntimeLayout::doctorScript + '\n'));
        QVERIFY(text.contains("- Exit status: 3\n"));
        QVERIFY(text.contains("- Desktop (XDG_CURRENT_DESKTOP): GNOME\n- Session type (XDG_SESSION_TYPE): "
                              "wayland\n- Qt platform plugin: wayland\n- System tray: yes\n"));
        QVERIFY(text.contains("- Root: ~/runtime\n- Valid: yes\n"));
        QVERIFY(text.contains("last: ••••oken\n"));
        QCOMPARE(text.count("old line"), kReportLogLines - 1); // the log's last 50 lines
        QVERIFY2(!text.contains(token) && !text.contains("fresh-key-98765"), qPrintable(text));
        QVERIFY2(!text.contains(m_home.path()), qPrintable(text));

        m_model->maintenance().copyReport({});
        QCOMPARE(m_desktop.copied->size(), 2);
        QVERIFY(m_desktop.copied->last().contains("- System tray: not looked for (command line)\n"));
        QCOMPARE(m_model->actions().transientMessage().value_or(""), "Report copied.");
        // The files themselves are never rewritten.
        QVERIFY(readFile(m_runtime->root() + "/config/.env").startsWith("RELAY_TOKEN=" + token + '\n'));
    }

    void reportKeepsLongOutputReadable() {
        SupportReportFacts facts;
        facts.homePath = "/home/ann/";
        facts.runtimeRoot = "/home/ann/rt";
        facts.lastAction = LastAction{"/home/annex/x.sh", 0};
        QString output;
        for (int i = 1; i <= 250; ++i)
            output += QStringLiteral("line %1\n").arg(i);
        facts.latestActionOutput = output + "```";
        const QString text = supportReport(facts, SecretMask());
        QVERIFY(text.contains("- Root: ~/rt\n"));
        QVERIFY(text.contains("- Script: /home/annex/x.sh\n")); // another user's home stays
        QVERIFY(!text.contains("line 51\n") && text.contains("line 52\n") && text.contains("line 250\n"));
        QVERIFY(text.contains("````\nline 52\n")); // a fence no output can close
        QVERIFY(text.contains("(no state/connector.log)"));
    }
};

QTEST_MAIN(TestSupportReport)
#include "tst_support_report.moc"
