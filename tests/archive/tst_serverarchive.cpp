// What only an archive on a server does: several writers at once, the archive-wide lock, the
// refusals of a server that cannot be used, and moving an archive onto a server and back.
#include "data/ArchiveStartup.h"
#include "data/FiscalEnvironment.h"
#include "data/MonthlyTotals.h"
#include "data/Renumbering.h"
#include "data/ServerMigration.h"
#include "support/TestArchive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

// A user of its own: the instance lock guards one user's programs only.
QProcessEnvironment userEnvironment(const QString &home)
{
    // A runtime folder others can read is not used: it must be the user's alone.
    QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home);
    environment.insert(u"XDG_CONFIG_HOME"_s, home + u"/config"_s);
    environment.insert(u"XDG_RUNTIME_DIR"_s, home);
    return environment;
}

Run cli(const QStringList &arguments, const QString &home)
{
    QProcess process;
    process.setProcessEnvironment(userEnvironment(home));
    process.start(QDir(binDir()).filePath(u"tovrin3-cli"_s), arguments);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Entries of one writer, each of one row, as the post command reads them; one day, so that the
// numbers follow the dates whichever writer saves first.
QByteArray entries(int count, int writer)
{
    QStringList json;
    for (int i = 0; i < count; ++i)
        json << uR"({"data": "2024-03-01", "righe": [{"dare": "Cassa", "avere": "Quote",
            "importo": "1.%1", "descrizione": "Scrittore %2"}]})"_s.arg(i % 100, 2, 10, QChar(u'0'))
                    .arg(writer);
    return (u'[' + json.join(u',') + u']').toUtf8();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestServerArchive : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (!TestArchive::suiteOnServer())
            QSKIP("the suite needs the test server");
    }

    void fourWritersAtOnceNumberWithoutGapsOrDoubles()
    {
        TestArchive a;
        a.addSottoconto(a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s),
                        u"Cassa"_s);
        a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s),
            u"Quote"_s);
        QTemporaryDir homes;
        QList<QProcess *> writers;
        for (int writer = 0; writer < 4; ++writer) {
            const QString home = homes.filePath(u"utente%1"_s.arg(writer));
            QDir().mkpath(home);
            const QString file = home + u"/registrazioni.json"_s;
            writeFile(file, entries(8, writer));
            // 25 saves of 8 entries each, interleaved with the other writers'.
            auto *process = new QProcess(this);
            process->setProcessEnvironment(userEnvironment(home));
            process->start(u"bash"_s,
                           {u"-c"_s,
                            u"for i in $(seq 25); do \"$0\" post --archive \"$1\" --file "
                            u"\"$2\" > /dev/null || exit 1; done"_s,
                            QDir(binDir()).filePath(u"tovrin3-cli"_s), a.folder(), file});
            writers.append(process);
        }
        for (QProcess *process : writers) {
            QVERIFY(process->waitForFinished(180000));
            QVERIFY2(process->exitCode() == 0,
                     process->readAllStandardError().right(600).constData());
        }
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 800);
        QCOMPARE(a.scalar(u"SELECT COUNT(DISTINCT progressivo) FROM regmain"_s).toInt(), 800);
        QCOMPARE(a.scalar(u"SELECT MIN(progressivo) FROM regmain"_s).toInt(), 1);
        QCOMPARE(a.scalar(u"SELECT MAX(progressivo) FROM regmain"_s).toInt(), 800);
        Connection connection(a.archive());
        QCOMPARE(monthlyTotalsAgree(connection.database(), nullptr), std::optional<bool>(true));
        const Run check =
            cli({u"check"_s, u"--archive"_s, a.folder(), u"--date"_s, u"2024-06-30"_s, u"--json"_s},
                homes.path());
        QVERIFY2(check.exitCode == 0, qPrintable(check.out + check.err));
    }

    void anOperationOnTheWholeArchiveWaitsThenGivesUp()
    {
        TestArchive a;
        Connection other(a.archive());
        QSqlQuery hold = other.query();
        QVERIFY(runSql(hold, u"SELECT pg_advisory_lock(7301, 0)"_s));
        setBusyTimeout(300);
        QString error;
        QVERIFY(!renumber(a, {{QDate(2024, 1, 1), QDate(2024, 12, 31), {}}}, &error));
        QVERIFY2(error.startsWith(
                     u"L'archivio è in uso da un altro utente. Riprovare tra qualche istante."_s),
                 qPrintable(error));
        QVERIFY(runSql(hold, u"SELECT pg_advisory_unlock(7301, 0)"_s));
        QVERIFY2(renumber(a, {{QDate(2024, 1, 1), QDate(2024, 12, 31), {}}}, &error),
                 qPrintable(error));
        setBusyTimeout(5000);
    }

    void aServerThatCannotBeUsedIsRefused()
    {
        QTemporaryDir folder;
        for (const auto &sub : {u"allegati"_s, u"modelli"_s, u"documenti"_s})
            QDir(folder.path()).mkdir(sub);
        ServerLocation nowhere = *TestArchive::newServerDatabase();
        nowhere.port = 1;
        QVERIFY(writeServerIni(folder.path(), nowhere, nullptr));
        const Run unreachable = cli({u"info"_s, u"--archive"_s, folder.path()}, folder.path());
        QCOMPARE(unreachable.exitCode, 3);
        QVERIFY2(unreachable.err.contains(u"Il server dell'archivio non risponde"_s),
                 qPrintable(unreachable.err));

        const ServerLocation foreign = *TestArchive::newServerDatabase();
        {
            Connection connection(foreign);
            QSqlQuery query = connection.query();
            QVERIFY(runSql(query, u"CREATE TABLE clienti (nome text)"_s));
        }
        QVERIFY(writeServerIni(folder.path(), foreign, nullptr));
        QCOMPARE(cli({u"info"_s, u"--archive"_s, folder.path()}, folder.path()).exitCode, 2);
    }

    void anAdministratorsIndexAndExtensionAreKeptButNotForeignTriggers()
    {
        TestArchive a;
        a.addSottoconto(a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s),
                        u"Cassa"_s);
        a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s),
            u"Quote"_s);
        a.exec(u"CREATE INDEX amministratore_importo ON regdet (importo)"_s);
        a.exec(u"CREATE EXTENSION IF NOT EXISTS pg_stat_statements"_s);
        QTemporaryDir home;
        writeFile(home.filePath(u"e.json"_s), entries(1, 0));
        const Run post =
            cli({u"post"_s, u"--archive"_s, a.folder(), u"--file"_s, home.filePath(u"e.json"_s)},
                home.path());
        QVERIFY2(post.exitCode == 0, qPrintable(post.err));
        const QStringList check{u"check"_s,  u"--archive"_s,  a.folder(),
                                u"--date"_s, u"2024-06-30"_s, u"--json"_s};
        const Run repaired = cli(check + QStringList{u"--repair"_s}, home.path());
        QVERIFY2(repaired.exitCode == 0, qPrintable(repaired.err));
        QVERIFY2(
            repaired.out.contains(u"\"toleratedObjects\":[{\"name\":\"amministratore_importo\""_s),
            qPrintable(repaired.out));
        QVERIFY(repaired.out.contains(u"\"name\":\"pg_stat_statements\""_s));
        QVERIFY(repaired.out.contains(u"\"integrity\":\"non verificata"_s));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM pg_indexes WHERE indexname = "
                          u"'amministratore_importo'"_s)
                     .toInt(),
                 1);

        a.exec(u"CREATE FUNCTION nulla() RETURNS trigger LANGUAGE plpgsql AS "
               u"$$ BEGIN RETURN NULL; END $$"_s);
        a.exec(u"CREATE TRIGGER estraneo BEFORE INSERT ON regdet FOR EACH ROW "
               u"EXECUTE FUNCTION nulla()"_s);
        QCOMPARE(
            cli({u"post"_s, u"--archive"_s, a.folder(), u"--file"_s, home.filePath(u"e.json"_s)},
                home.path())
                .exitCode,
            2);
        a.exec(u"DROP EXTENSION pg_stat_statements"_s);
    }

    void anIdWrittenByAnotherToolNeverBreaksTheNextInsert()
    {
        TestArchive a;
        const qint64 next = a.addMastro(u"A01"_s, u"Cassa"_s, 1) + 1;
        a.exec(u"INSERT INTO mastri (id, prefisso, descrizione, tipo) VALUES (?, 'A02', 'Banca', "
               u"1)"_s,
               {next});
        QString error;
        QVERIFY2(openForWriting(a.archive(), &error), qPrintable(error));
        QVERIFY(a.addMastro(u"A03"_s, u"Titoli"_s, 1) > next);
    }

    // An earlier version kept the capitals of the column names; the owner's first opening
    // folds them, and then the entries, the monthly totals and the account cards all work.
    void anArchiveWithTheNamesOfAnEarlierVersionIsBroughtUp()
    {
        TestArchive a;
        const qint64 cassa = a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s), u"Cassa"_s);
        const qint64 quote = a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s),
            u"Quote"_s);
        a.addEntry(QDate(2024, 3, 1), {{cassa, quote, Money::fromUnits(5000), u"Quota"_s}});
        a.exec(u"DROP VIEW schede"_s);
        a.exec(u"ALTER TABLE regdet RENAME COLUMN idregmain TO \"idRegMain\""_s);
        a.exec(u"ALTER TABLE sottoconti RENAME COLUMN idconto TO \"idConto\""_s);
        QString error;
        QVERIFY2(openForWriting(a.archive(), &error), qPrintable(error));
        a.addEntry(QDate(2024, 3, 2), {{cassa, quote, Money::fromUnits(2500), u"Quota"_s}});
        QCOMPARE(a.scalar(u"SELECT SUM(dare) FROM saldi_mese WHERE conto = ?"_s, {cassa}).toInt(),
                 7500);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM schede WHERE sDescrizione = 'Cassa'"_s).toInt(),
                 2);
    }

    // The date check of an earlier version called a procedure per row; the owner's opening puts
    // the inline one in its place, and the check still tells a calendar date from one that is not.
    void anEarlierDateFunctionIsReplacedAndStillChecksDates()
    {
        TestArchive a;
        a.exec(uR"(CREATE OR REPLACE FUNCTION date(value text, modifier text DEFAULT '+0 days')
RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
    RETURN to_char(CAST(value AS date) + CAST(split_part(modifier, ' ', 1) AS integer),
                   'YYYY-MM-DD');
EXCEPTION WHEN others THEN
    RETURN NULL;
END $$)"_s);
        QString error;
        QVERIFY2(openForWriting(a.archive(), &error), qPrintable(error));
        QCOMPARE(a.scalar(u"SELECT l.lanname FROM pg_proc p JOIN pg_language l ON l.oid = "
                          u"p.prolang WHERE p.proname = 'date' "
                          u"AND p.pronamespace = 'public'::regnamespace"_s)
                     .toString(),
                 u"sql"_s);
        const QString date = u"SELECT date(?, ?)"_s;
        QCOMPARE(a.scalar(date, {u"2024-02-30"_s, u"+0 days"_s}).toString(), u"2024-03-01"_s);
        QCOMPARE(a.scalar(date, {u"2024-12-31"_s, u"+1 days"_s}).toString(), u"2025-01-01"_s);
        for (const QString &wrong : {u"2024-13-01"_s, u"0000-01-01"_s, u"2024-01-32"_s, u"31/12"_s})
            QVERIFY(a.scalar(date, {wrong, u"+0 days"_s}).isNull());
        QVERIFY(a.scalar(date, {u"2024-01-01"_s, u"+x days"_s}).isNull());
        a.exec(u"INSERT INTO regmain (data, tipo) VALUES ('2024-02-29', 0)"_s);
        Connection connection(a.archive());
        QSqlQuery query = connection.query();
        QVERIFY(!runSql(query, u"INSERT INTO regmain (data, tipo) VALUES ('2023-02-29', 0)"_s));
    }

    void anArchiveGoesToTheServerAndBackWhole()
    {
        QTemporaryDir base;
        const QString home = base.filePath(u"utente"_s);
        QDir().mkpath(home);
        const QString folder = cli({u"new"_s, u"--parent"_s, base.path(), u"--name"_s, u"copia"_s,
                                    u"--chart"_s, u"0"_s, u"--start-month"_s, u"1"_s},
                                   home)
                                   .out.trimmed();
        QVERIFY(QFileInfo(folder).isDir());
        writeFile(home + u"/e.json"_s,
                  R"([{"data": "2023-05-02", "righe": [{"dare": "Cassa contanti",
                      "avere": "Quote di consorzi e cooperative", "importo": "120.50",
                      "descrizione": "Quota"}]}])");
        const Run post =
            cli({u"post"_s, u"--archive"_s, folder, u"--file"_s, home + u"/e.json"_s}, home);
        QVERIFY2(post.exitCode == 0, qPrintable(post.err));
        const Run yearEnd =
            cli({u"yearend"_s, u"--archive"_s, folder, u"--date"_s, u"2024-03-01"_s}, home);
        QVERIFY2(yearEnd.exitCode == 0, qPrintable(yearEnd.err));
        // A bank's IBAN and its booked statement, kept for the reconciliation.
        {
            Connection connection(databasePathFor(folder));
            QSqlQuery query = connection.query();
            QVERIFY(runSql(query, u"INSERT INTO conti_bancari (sottoconto, iban) SELECT id, "
                                  u"'IT60X0542811101000000123456' FROM sottoconti "
                                  u"WHERE descrizione = 'Cassa contanti'"_s));
            QVERIFY(runSql(query, u"INSERT INTO estratti_importati (conto, importato_il) SELECT "
                                  u"sottoconto, '2023-05-03' FROM conti_bancari"_s));
            QVERIFY(runSql(query, u"INSERT INTO movimenti_estratto (conto, impronta, estratto, "
                                  u"data, importo) SELECT conto, 'x', id, '2023-05-02', 1205000 "
                                  u"FROM estratti_importati"_s));
        }
        const QByteArray file = [&] {
            QFile database(databasePathFor(folder));
            database.open(QIODevice::ReadOnly);
            return database.readAll();
        }();

        const ServerLocation server = *TestArchive::newServerDatabase();
        const Run migrate =
            cli({u"migrate"_s, u"--archive"_s, folder, u"--to"_s, server.key()}, home);
        QVERIFY2(migrate.exitCode == 0, qPrintable(migrate.err));
        QVERIFY(QFile::exists(serverIniPath(folder)));
        QFile database(databasePathFor(folder));
        QVERIFY(database.open(QIODevice::ReadOnly));
        QCOMPARE(database.readAll(), file);
        QVERIFY(readServerIni(folder)->sslmode == u"prefer"_s);
        {
            Connection connection(server);
            QSqlQuery query = connection.query();
            QVERIFY(runSql(query, u"SELECT (SELECT COUNT(*) FROM conti_bancari), (SELECT COUNT(*) "
                                  u"FROM movimenti_estratto)"_s) &&
                    query.next());
            QCOMPARE(query.value(0).toInt() + query.value(1).toInt(), 2);
        }
        QCOMPARE(
            cli({u"check"_s, u"--archive"_s, folder, u"--date"_s, u"2024-03-01"_s, u"--json"_s},
                home)
                .exitCode,
            0);

        // Once there, the database is no longer empty.
        QFile::remove(serverIniPath(folder));
        const Run again =
            cli({u"migrate"_s, u"--archive"_s, folder, u"--to"_s, server.key()}, home);
        QVERIFY(again.exitCode != 0);
        QVERIFY2(again.err.contains(u"non è vuoto"_s), qPrintable(again.err));

        QVERIFY(writeServerIni(folder, server, nullptr));
        const QString back = base.filePath(u"ritorno.mdb"_s);
        const Run toFile =
            cli({u"migrate"_s, u"--archive"_s, folder, u"--to-sqlite"_s, back}, home);
        QVERIFY2(toFile.exitCode == 0, qPrintable(toFile.err));
        Connection copy(back, Connection::Mode::ReadOnly);
        QSqlQuery query = copy.query();
        QVERIFY(runSql(query, u"SELECT COUNT(*), SUM(importo) FROM regdet"_s) && query.next());
        QVERIFY(query.value(0).toInt() > 1);
    }
};

QTEST_GUILESS_MAIN(TestServerArchive)
#include "tst_serverarchive.moc"
