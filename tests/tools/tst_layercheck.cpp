#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Runs the include check on small source trees: a clean tree passes, and each kind of include
// that points the wrong way is refused with the file, the line and the include.
class tst_LayerCheck : public QObject {
    Q_OBJECT

private:
    static void write(const QDir &root, const QString &path, const QString &text)
    {
        QVERIFY(root.mkpath(QFileInfo(root.filePath(path)).path()));
        QFile file(root.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
        file.write(text.toUtf8());
    }

    static void writeTree(const QDir &root)
    {
        write(root, u"data/CMakeLists.txt"_s,
              u"target_sources(tovrin3_core PRIVATE Money.cpp)\n"_s);
        write(root, u"data/Money.h"_s, u"#pragma once\n"_s);
        write(root, u"data/Money.cpp"_s, u"#include \"data/Money.h\"\n"_s);
        write(root, u"ui/CMakeLists.txt"_s,
              u"target_sources(tovrin3_ui PRIVATE grid/Grid.cpp)\n"_s);
        write(root, u"ui/grid/Grid.h"_s, u"#pragma once\n"_s);
        write(root, u"ui/grid/Grid.cpp"_s,
              u"#include \"ui/grid/Grid.h\"\n#include \"data/Money.h\"\n"_s);
        for (const QString &subsystem : {u"chart"_s, u"main"_s}) {
            write(root, subsystem + u"/CMakeLists.txt"_s,
                  u"target_sources(tovrin3_logic PRIVATE\n    Rules.cpp\n)\n"
                  u"target_sources(tovrin3_windows PRIVATE\n    EditorWindow.cpp\n)\n"_s);
            write(root, subsystem + u"/Rules.h"_s, u"#pragma once\n"_s);
            write(root, subsystem + u"/Rules.cpp"_s, u"#include \"data/Money.h\"\n"_s);
            write(root, subsystem + u"/EditorWindow.h"_s, u"#pragma once\n"_s);
            write(root, subsystem + u"/EditorWindow.cpp"_s,
                  u"#include \"ui/grid/Grid.h\"\n#include \""_s + subsystem + u"/Rules.h\"\n"_s);
        }
        write(root, u"main/EditorWindow.cpp"_s,
              u"#include \"chart/EditorWindow.h\"\n#include \"chart/Rules.h\"\n"_s);
    }

    static QString run(const QDir &root, int *exitCode)
    {
        QProcess process;
        process.start(QStringLiteral(TOVRIN_BIN_DIR "/tovrin3-layercheck"), {root.path()});
        if (!process.waitForFinished(30000))
            return u"timeout"_s;
        *exitCode = process.exitCode();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

private slots:
    void cleanTreePasses()
    {
        QTemporaryDir dir;
        writeTree(QDir(dir.path()));
        int exitCode = -1;
        const QString out = run(QDir(dir.path()), &exitCode);
        QCOMPARE(out, QString());
        QCOMPARE(exitCode, 0);
    }

    void upwardIncludeFails_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("include");
        QTest::newRow("core includes the grid") << u"data/Money.cpp"_s << u"ui/grid/Grid.h"_s;
        QTest::newRow("logic includes a window")
            << u"chart/Rules.cpp"_s << u"chart/EditorWindow.h"_s;
        QTest::newRow("ui includes logic") << u"ui/grid/Grid.cpp"_s << u"main/Rules.h"_s;
        QTest::newRow("chart window includes main")
            << u"chart/EditorWindow.cpp"_s << u"main/Rules.h"_s;
        QTest::newRow("chart logic includes main logic")
            << u"chart/Rules.cpp"_s << u"main/Rules.h"_s;
    }

    void upwardIncludeFails()
    {
        QFETCH(QString, file);
        QFETCH(QString, include);
        QTemporaryDir dir;
        const QDir root(dir.path());
        writeTree(root);
        write(root, file, u"// planted\n#include \""_s + include + u"\"\n"_s);
        int exitCode = -1;
        const QString out = run(root, &exitCode);
        QCOMPARE(exitCode, 1);
        QVERIFY2(out.startsWith(file + u":2: #include \""_s + include + u'"'), qPrintable(out));
        QCOMPARE(out.count(u'\n'), 1);
    }

    // Each invariant the check enforces fails on a planted breach, naming file, line and rule.
    void breachOfAnInvariantFails_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("rule");
        QTest::newRow("an entry written outside the gate")
            << u"chart/Rules.cpp"_s << u"const char *sql = \"DELETE FROM regdet WHERE id = ?\";"_s
            << u"only the journal gate writes entries"_s;
        QTest::newRow("a statement run outside runSql")
            << u"main/Rules.cpp"_s << u"query.prepare(u\"SELECT 1\"_s);"_s
            << u"every SQL statement goes through runSql"_s;
        QTest::newRow("a widget in the core")
            << u"data/Money.cpp"_s << u"#include <QWidget>"_s << u"includes no widget header"_s;
        QTest::newRow("a widget module header in the core")
            << u"data/Money.h"_s << u"#include <QtWidgets/QLabel>"_s
            << u"includes no widget header"_s;
        QTest::newRow("SQL in the shared widgets")
            << u"ui/grid/Grid.cpp"_s << u"QSqlQuery query;"_s
            << u"the shared widgets run no SQL of a subsystem"_s;
        QTest::newRow("a member named for its control")
            << u"chart/EditorWindow.h"_s << u"QPushButton *m_cmdSalva = nullptr;"_s
            << u"not for the type of their control"_s;
        QTest::newRow("the current archive read from the settings")
            << u"main/EditorWindow.cpp"_s << u"Archive(ArchiveFolders().dataFolder());"_s
            << u"never read from the settings"_s;
    }

    void breachOfAnInvariantFails()
    {
        QFETCH(QString, file);
        QFETCH(QString, line);
        QFETCH(QString, rule);
        QTemporaryDir dir;
        const QDir root(dir.path());
        writeTree(root);
        write(root, file, u"// planted\n"_s + line + u'\n');
        int exitCode = -1;
        const QString out = run(root, &exitCode);
        QCOMPARE(exitCode, 1);
        QVERIFY2(out.startsWith(file + u":2: "_s) && out.contains(rule), qPrintable(out));
        QCOMPARE(out.count(u'\n'), 1);
    }

    void libraryOfNoKnownLayerFails()
    {
        QTemporaryDir dir;
        const QDir root(dir.path());
        writeTree(root);
        write(root, u"main/CMakeLists.txt"_s, u"target_sources(mystery PRIVATE Rules.cpp)\n"_s);
        int exitCode = -1;
        const QString out = run(root, &exitCode);
        QCOMPARE(exitCode, 1);
        QVERIFY2(out.contains(u"mystery"_s), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(tst_LayerCheck)
#include "tst_layercheck.moc"
