// SPDX-License-Identifier: MIT
#include "diagnostics/EnvFile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace skerrin;

class TestEnvFile : public QObject {
    Q_OBJECT

private slots:
    void parsesLines_data();
    void parsesLines();
    void unreadableInputGivesNoKeys();

private:
    QTemporaryDir m_dir;
};

void TestEnvFile::parsesLines_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // "<absent>" when the key must not exist

    QTest::newRow("indented, spaced, double-quoted")
        << QByteArray("   CONNECTOR_WORKSPACE = \"my work\"   \n") << "CONNECTOR_WORKSPACE"
        << "my work";
    QTest::newRow("single quotes") << QByteArray("A='x y'\n") << "A"
                                   << "x y";
    QTest::newRow("lone double quote stays") << QByteArray("A=\"\n") << "A"
                                             << "\"";
    QTest::newRow("mismatched quotes stay") << QByteArray("A=\"x'\n") << "A"
                                            << "\"x'";
    QTest::newRow("only one pair removed") << QByteArray("A=\"\"x\"\"\n") << "A"
                                           << "\"x\"";
    QTest::newRow("further equals belong to value") << QByteArray("KEY=a=b\n") << "KEY"
                                                    << "a=b";
    QTest::newRow("no inline comments") << QByteArray("KEY=value # note\n") << "KEY"
                                        << "value # note";
    QTest::newRow("no escapes or expansion") << QByteArray("KEY=$HOME\\n\n") << "KEY"
                                             << "$HOME\\n";
    QTest::newRow("CRLF line ends") << QByteArray("A=1\r\nB=2\r\n") << "B"
                                    << "2";
    QTest::newRow("CR only") << QByteArray("A=1\rB=2") << "B"
                             << "2";
    QTest::newRow("unicode separators") << QByteArray("A=1\xe2\x80\xa8"
                                                      "B=2\xc2\x85"
                                                      "C=3")
                                        << "C"
                                        << "3";
    QTest::newRow("export prefix is part of the key")
        << QByteArray("export CONNECTOR_WORKSPACE=main\n") << "CONNECTOR_WORKSPACE"
        << "<absent>";
    QTest::newRow("export key itself") << QByteArray("export NAME=x\n") << "export NAME"
                                       << "x";
    QTest::newRow("empty key") << QByteArray("=x\n") << ""
                               << "x";
    QTest::newRow("comment ignored") << QByteArray("# A=1\n") << "# A"
                                     << "<absent>";
    QTest::newRow("indented comment ignored") << QByteArray("   #A=1\n") << "#A"
                                              << "<absent>";
    QTest::newRow("line without equals") << QByteArray("JUSTTEXT\n") << "JUSTTEXT"
                                         << "<absent>";
    QTest::newRow("last occurrence wins") << QByteArray("A=1\nA=2\n") << "A"
                                          << "2";
    QTest::newRow("empty value") << QByteArray("A=\n") << "A"
                                 << "";
    QTest::newRow("keys are case-sensitive") << QByteArray("relay_token=x\n") << "RELAY_TOKEN"
                                             << "<absent>";
    QTest::newRow("NUL inside a value is kept as text") << QByteArray("A=x\0y\nB=2\n", 10) << "B"
                                                        << "2";
}

void TestEnvFile::parsesLines() {
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(QStringLiteral("env"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();

    const EnvValues values = parseEnvFile(path);
    if (expected == QLatin1String("<absent>")) {
        QVERIFY2(!values.contains(key), qPrintable(values.value(key)));
    } else {
        QVERIFY(values.contains(key));
        QCOMPARE(values.value(key), expected);
    }
}

void TestEnvFile::unreadableInputGivesNoKeys() {
    QVERIFY(parseEnvFile(m_dir.filePath(QStringLiteral("missing"))).isEmpty());
    QVERIFY(parseEnvFile(m_dir.path()).isEmpty()); // a folder

    const QString invalid = m_dir.filePath(QStringLiteral("latin1"));
    QFile file(invalid);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("RELAY_TOKEN=caf\xe9\n");
    file.close();
    QVERIFY(parseEnvFile(invalid).isEmpty());

    // 10 MB of one line without a newline, then a key: parsed, not hung.
    const QString huge = m_dir.filePath(QStringLiteral("huge"));
    QFile big(huge);
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(10 * 1024 * 1024, 'x'));
    big.write("\nRELAY_TOKEN=t\n");
    big.close();
    QCOMPARE(parseEnvFile(huge).value(QStringLiteral("RELAY_TOKEN")), QStringLiteral("t"));
}

QTEST_GUILESS_MAIN(TestEnvFile)
#include "tst_env_file.moc"
