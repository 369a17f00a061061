// SPDX-License-Identifier: MIT
#include "runtime/EnvFile.h"

#include "support/TestRuntime.h"

#include <QTemporaryDir>
#include <QTest>

using namespace skerrin;

class TestEnvFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;

private slots:
    void parses_data() {
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
        row("10 MB line", QByteArray(10 << 20, 'x') + "\nRELAY_TOKEN=' t '", {{"RELAY_TOKEN", " t "}});
    }
    void parses() {
        QFETCH(QByteArray, content);
        QFETCH(EnvValues, values);
        QVERIFY(test::writeFile(envFilePath(m_root.path()), content));
        QCOMPARE(parseEnvFile(envFilePath(m_root.path())), values);
        QCOMPARE(relayToken(m_root.path()), values.value("RELAY_TOKEN").trimmed());
    }
};

QTEST_GUILESS_MAIN(TestEnvFile)
#include "tst_env_file.moc"
