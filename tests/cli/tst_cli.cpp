#include "data/Parametri.h"
#include "support/TestArchive.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

Run cli(const QStringList &arguments)
{
    QProcess process;
    process.start(QDir(binDir()).filePath(u"tovrin3-cli"_s), arguments);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void describesAnArchiveWithoutWritingIt()
    {
        TestArchive a;
        const qint64 s = a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s), u"Cassa"_s);
        a.addEntry(QDate(2024, 3, 5), {{s, s, Money::fromCents(100), u"giroconto"_s}});
        a.addEntry(QDate(2024, 2, 29), {{s, {}, Money::fromCents(100), u"a"_s},
                                        {{}, s, Money::fromCents(100), u"b"_s}});
        ScriviParametro(a, u"StartMonth"_s, TipoValore::Intero, Memoria::Archivio, 3);
        const QByteArray before = hashOf(a.databasePath());

        const Run run =
            cli({u"info"_s, u"--archive"_s, a.folder(), u"--date"_s, u"2025-01-10"_s, u"--json"_s});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject info = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(info.value(u"aMajor"_s).toInt(), -1);
        QCOMPARE(info.value(u"aMinor"_s).toInt(), -1);
        QCOMPARE(info.value(u"StartMonth"_s).toInt(), 3);
        QCOMPARE(info.value(u"EseDate1"_s).toString(), u"2024-03-01"_s);
        QCOMPARE(info.value(u"EseDate2"_s).toString(), u"2025-02-28"_s);
        QCOMPARE(info.value(u"EseDate1Prev"_s).toString(), u"2023-03-01"_s);
        QCOMPARE(info.value(u"EseDate2Prev"_s).toString(), u"2024-02-28"_s);
        QCOMPARE(info.value(u"EsercizioString"_s).toString(), u"2024/2025"_s);
        QVERIFY(info.value(u"LastRegDate"_s).toString().contains(u"2024"_s));
        const QJsonObject counts = info.value(u"counts"_s).toObject();
        QCOMPARE(counts.value(u"mastri"_s).toInt(), 1);
        QCOMPARE(counts.value(u"sottoconti"_s).toInt(), 1);
        QCOMPARE(counts.value(u"regmain"_s).toInt(), 2);
        QCOMPARE(counts.value(u"regdet"_s).toInt(), 3);
        QCOMPARE(hashOf(a.databasePath()), before);

        const Run text = cli({u"info"_s, u"--archive"_s, a.folder(), u"--date"_s, u"2025-01-10"_s});
        QCOMPARE(text.exitCode, 0);
        QVERIFY(text.out.contains(u"Esercizio: 2024/2025 (dal 01/03/2024 al 28/02/2025)"_s));
        QVERIFY(text.out.contains(u"Registrazioni: 2"_s));
    }

    void refusesFoldersThatHoldNoArchive()
    {
        const Run missing = cli({u"info"_s, u"--archive"_s, u"/nessuna/cartella"_s, u"--json"_s});
        QCOMPARE(missing.exitCode, 2);
        QVERIFY(missing.out.isEmpty());
        QCOMPARE(missing.err.count(u'\n'), 1);
        QVERIFY(missing.err.contains(u"non trovata o danneggiata"_s));

        TestArchive a;
        QFile::remove(a.databasePath());
        QFile file(a.databasePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x00\x01\x00\x00Standard ACE DB\x00", 20));
        file.close();
        const Run access = cli({u"info"_s, u"--archive"_s, a.folder()});
        QCOMPARE(access.exitCode, 2);
        QCOMPARE(access.err.count(u'\n'), 1);
        QVERIFY(access.err.contains(u"Access"_s));
    }

    void closesTheYearOrSaysWhyNot()
    {
        TestArchive a;
        const qint64 cassa = a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s), u"Cassa"_s);
        const qint64 tecnico =
            a.addConto(a.addMastro(u"P09"_s, u"Tecnici"_s, 2), u"P09001"_s, u"Bilanci"_s);
        const qint64 quote = a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s),
            u"Quote"_s);
        const QStringList args{u"yearend"_s, u"--archive"_s, a.folder(), u"--date"_s,
                               u"2024-06-01"_s};

        const Run empty = cli(args);
        QCOMPARE(empty.exitCode, 1);
        QVERIFY(
            empty.err.startsWith(u"Nessuna Registrazione presente nell'Esercizio precedente"_s));

        a.addEntry(QDate(2023, 3, 1), {{cassa, quote, Money::fromCents(15000), u"Quote"_s}});
        const Run invalid = cli(args + QStringList{u"--closing-date"_s, u"2024-01-01"_s});
        QCOMPARE(invalid.exitCode, 1);
        QCOMPARE(
            invalid.err.split(u'\n', Qt::SkipEmptyParts),
            (QStringList{u"- Data registrazione chiusura non compresa nell'esercizio precedente"_s,
                         u"- Inserire Sottoconto \"Profitti e Perdite\""_s,
                         u"- Inserire Sottoconto \"Utile/Perdita d'esercizio\""_s,
                         u"- Inserire Sottoconto \"Bilancio di chiusura\""_s,
                         u"- Inserire Sottoconto \"Bilancio di apertura\""_s}));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);

        ScriviParametro(a, u"bilanciochiusura"_s, TipoValore::Intero, Memoria::Archivio,
                        a.addSottoconto(tecnico, u"Chiusura"_s));
        ScriviParametro(a, u"bilancioapertura"_s, TipoValore::Intero, Memoria::Archivio,
                        a.addSottoconto(tecnico, u"Apertura"_s));
        ScriviParametro(a, u"utile"_s, TipoValore::Intero, Memoria::Archivio,
                        a.addSottoconto(tecnico, u"Avanzo"_s));
        ScriviParametro(
            a, u"profittieperdite"_s, TipoValore::Intero, Memoria::Archivio,
            a.addSottoconto(
                a.scalar(u"SELECT id FROM conti WHERE prefisso = 'R01001'"_s).toLongLong(),
                u"Profitti e perdite"_s));
        const Run done = cli(args);
        QCOMPARE(done.exitCode, 0);
        QCOMPARE(done.out.split(u'\n', Qt::SkipEmptyParts).size(), 4);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain WHERE tipo = 1 AND data = '2024-01-01'"_s)
                     .toInt(),
                 1);
        QCOMPARE(cli(args).exitCode, 1);
    }

    void refusesABadDate()
    {
        TestArchive a;
        const Run run = cli({u"info"_s, u"--archive"_s, a.folder(), u"--date"_s, u"31/12/2024"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(u"Data non valida"_s));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
