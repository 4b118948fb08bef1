#include "data/OutputFile.h"
#include "support/TestArchive.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Writes content to target through an OutputFile; the reason of a failure, empty on success.
QString written(const QString &target, const QByteArray &content,
                const OutputFile::Check &check = {})
{
    OutputFile out(target);
    QString error;
    if (!out.open(&error))
        return error;
    out.device().write(content);
    return out.commit(&error, check) ? QString() : error;
}

} // namespace

class TestOutputFile : public QObject {
    Q_OBJECT

private slots:
    void refusesTheArchiveAndFolders()
    {
        TestArchive a;
        QTemporaryDir out;
        const QString link = out.filePath(u"bilancio.pdf"_s);
        QVERIFY(QFile::link(a.databasePath(), link));
        const QString hardLink = out.filePath(u"copia.pdf"_s);
        QVERIFY(::link(QFile::encodeName(a.databasePath()).constData(),
                       QFile::encodeName(hardLink).constData()) == 0);
        const QString dangling = out.filePath(u"futuro.pdf"_s);
        QVERIFY(QFile::link(a.folder() + u"/server.ini"_s, dangling));
        for (const QString &target :
             {a.databasePath(), a.folder() + u"/contab.mdb-journal"_s, link, hardLink, dangling})
            QVERIFY2(outputTargetProblem(target).contains(u"non può essere sovrascritto"_s),
                     qPrintable(target));
        QVERIFY(outputTargetProblem(a.folder()).contains(u"è una cartella"_s));
        QVERIFY(outputTargetProblem(out.filePath(u"bilancio.xlsx"_s)).isEmpty());

        const QByteArray archive = contentOf(a.databasePath());
        QVERIFY(!written(link, "report").isEmpty());
        QCOMPARE(contentOf(a.databasePath()), archive);
    }

    void aFailureLeavesTheOldFile()
    {
        QTemporaryDir out;
        const QString target = out.filePath(u"libro.xlsx"_s);
        writeFile(target, "stampa precedente");
        // A zip cut short: the check reads it back and refuses it.
        QVERIFY(
            written(target, "PK\x03\x04 incompleto", zipIsComplete).contains(u"non è completo"_s));
        QVERIFY(!written(out.filePath(u"manca/libro.pdf"_s), "x").isEmpty());
        QCOMPARE(contentOf(target), QByteArray("stampa precedente"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"libro.xlsx"_s});

        QVERIFY(written(target, "nuovo").isEmpty());
        QCOMPARE(contentOf(target), QByteArray("nuovo"));
    }

    void aShortWriteIsAFailure()
    {
        // The file-size limit makes the system refuse writes past it, as a full disk does.
        QTemporaryDir out;
        const QString target = out.filePath(u"libro.pdf"_s);
        writeFile(target, "stampa precedente");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit small = previous;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const QString error = written(target, QByteArray(100000, 'x'));
        setrlimit(RLIMIT_FSIZE, &previous);
        QVERIFY2(error.startsWith(u"Impossibile scrivere il file"_s), qPrintable(error));
        QCOMPARE(contentOf(target), QByteArray("stampa precedente"));
    }

    void systemTextsInItalian()
    {
        QCOMPARE(italianSystemError(u"No space left on device"_s),
                 u"Il disco è pieno: liberare spazio e riprovare."_s);
        QVERIFY(italianSystemError(u"Read-only file system"_s).contains(u"sola lettura"_s));
        QVERIFY(italianSystemError(u"Could not allocate memory"_s).contains(u"Memoria"_s));
    }
};

QTEST_GUILESS_MAIN(TestOutputFile)
#include "tst_outputfile.moc"
