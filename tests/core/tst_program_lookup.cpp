// SPDX-License-Identifier: MIT
#include "core/ProgramLookup.h"

#include "support/TestRuntime.h"

#include <QTest>

class TestProgramLookup : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_previousFolder;

    // `{d}` in a row stands for the temporary folder.
    QString expand(QString text) const { return text.replace("{d}", m_dir.path()); }

private slots:
    void initTestCase() {
        // Every folder holds a `tool`, in all the forms a lookup must tell apart.
        QVERIFY(writeFile(m_dir.filePath("plain/tool"), "#!/bin/sh\n"));
        QVERIFY(QDir().mkpath(m_dir.filePath("folder/tool")));
        QVERIFY(QDir().mkpath(m_dir.filePath("broken")));
        QVERIFY(QFile::link(m_dir.filePath("missing"), m_dir.filePath("broken/tool")));
        QVERIFY(writeScript(m_dir.filePath("exec/tool"), {}));
        QVERIFY(writeScript(m_dir.filePath("later/tool"), {}));
        QVERIFY(QDir().mkpath(m_dir.filePath("link")));
        QVERIFY(QFile::link(m_dir.filePath("exec/tool"), m_dir.filePath("link/tool")));
        QVERIFY(writeScript(m_dir.filePath("here/tool"), {}));
        QVERIFY(writeScript(m_dir.filePath("here/sub/tool"), {}));
        m_previousFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.filePath("here")));
    }
    void cleanupTestCase() { QDir::setCurrent(m_previousFolder); }

    void findProgram_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("searchPath");
        QTest::addColumn<QString>("found"); // empty: nothing
        const auto row = [](const char* name, QString command, QString searchPath, QString found) {
            QTest::newRow(name) << command << searchPath << found;
        };
        row("plain file, folder, broken link skipped", "tool",
            "{d}/plain:{d}/folder:{d}/broken:{d}/exec:{d}/later", "{d}/exec/tool");
        row("first folder wins", "tool", "{d}/later:{d}/exec", "{d}/later/tool");
        row("a link to an executable counts", "tool", "{d}/link:{d}/later", "{d}/link/tool");
        row("none executable", "tool", "{d}/plain:{d}/folder:{d}/broken", "");
        row("empty folder is the current one", "tool", "{d}/plain::{d}/later", "./tool");
        row("so is a trailing one", "tool", "{d}/plain:", "./tool");
        row("empty search path finds nothing", "tool", "", "");
        row("a slash: as written, never searched", "sub/tool", "{d}/later", "sub/tool");
        row("a slash to a plain file", "../plain/tool", "{d}/later", "");
        row("absolute path", "{d}/exec/tool", "{d}/later", "{d}/exec/tool");
        row("empty command", "", "{d}/exec", "");
    }
    void findProgram() {
        QFETCH(QString, command);
        QFETCH(QString, searchPath);
        QFETCH(QString, found);
        command = expand(command), searchPath = expand(searchPath);
        const std::optional<QString> expected = found.isEmpty() ? std::nullopt : std::optional(expand(found));
        // The rows are the answers `which` gave when the lookup replaced it.
        QCOMPARE(skerrin::findProgram(command, searchPath), expected);
    }

    void resolveExecutable_data() {
        QTest::addColumn<QString>("preferred"); // null: none
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("path"); // the application's PATH; null: unset
        QTest::addColumn<QString>("found");   // empty: nothing
        const QByteArray path = m_dir.filePath("later").toUtf8();
        const auto row = [](const char* name, QString preferred, QString command, QByteArray path,
                            QString found) { QTest::newRow(name) << preferred << command << path << found; };
        row("preferred, trimmed, wins", " {d}/exec/tool\n", "tool", path, "{d}/exec/tool");
        row("preferred not executable", "{d}/plain/tool", "tool", path, "{d}/later/tool");
        row("preferred a folder", "{d}/folder/tool", "tool", path, "{d}/later/tool");
        row("preferred blank", " \t", "tool", path, "{d}/later/tool");
        row("nothing on PATH", QString(), "no-such-tool", path, "");
        row("empty PATH finds nothing", QString(), "bash", "", "");
        row("no PATH: the fixed search path", QString(), "bash", QByteArray(), "<fixed>");
    }
    void resolveExecutable() {
        QFETCH(QString, preferred);
        QFETCH(QString, command);
        QFETCH(QByteArray, path);
        QFETCH(QString, found);
        const ScopedEnv scoped("PATH", path);
        if (path.isNull())
            qunsetenv("PATH");
        const std::optional<QString> result = skerrin::resolveExecutable(
            preferred.isNull() ? std::nullopt : std::optional(expand(preferred)), command);
        if (found == "<fixed>") {
            // Wherever this system keeps bash, it is in one of the fixed folders.
            QVERIFY(result && isExecutableFile(*result));
            QVERIFY2(kFixedSearchPath.split(':').contains(result->chopped(5)), qPrintable(*result));
            return;
        }
        QCOMPARE(result, found.isEmpty() ? std::nullopt : std::optional(expand(found)));
    }
};

QTEST_GUILESS_MAIN(TestProgramLookup)
#include "tst_program_lookup.moc"
