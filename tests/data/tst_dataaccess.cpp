#include "data/ArchiveFolders.h"
#include "data/ArchiveStartup.h"
#include "data/Database.h"
#include "data/EngineErrors.h"
#include "data/FieldValues.h"
#include "data/ItalianCollation.h"
#include "data/Parameters.h"
#include "data/RowSet.h"
#include "data/ServerRows.h"
#include "data/SqlText.h"
#include "support/TestArchive.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

class TestDataAccess : public QObject {
    Q_OBJECT

    static QByteArray bytesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    // Both engines sort descriptions as the program compares them: case and accents aside,
    // then the text itself; apostrophes, hyphens, dots, underscores and digits by their code.
    void descriptionsSortInItalian()
    {
        TestArchive a;
        const qint64 account =
            a.addConto(a.addMastro(u"A01"_s, u"Attivo"_s, 1), u"A01001"_s, u"Conto"_s);
        const QStringList names{u"Zeta"_s,       u"erba"_s,       u"abete"_s,      u"Èrario"_s,
                                u"Banca"_s,      u"àncora"_s,     u"banca"_s,      u"Cassa'sede"_s,
                                u"Cassa sede"_s, u"Cassa-sede"_s, u"Cassa.sede"_s, u"Cassa_sede"_s,
                                u"cassa"_s,      u"Cassa"_s,      u"CASSA 2"_s,    u"Cassa 10"_s,
                                u"çedola"_s,     u"Ceramica"_s,   u"ÀNCORA"_s,     u"ß"_s};
        for (const QString &name : names)
            a.addSottoconto(account, name);
        Connection connection(a.archive(), Connection::Mode::ReadOnly);
        QSqlQuery query = connection.query();
        QVERIFY(
            runSql(query, u"SELECT descrizione FROM sottoconti ORDER BY italiano(descrizione)"_s));
        QStringList sorted;
        while (query.next())
            sorted.append(query.value(0).toString());
        QStringList inMemory = names;
        std::sort(inMemory.begin(), inMemory.end(),
                  [](const QString &x, const QString &y) { return compareItalian(x, y) < 0; });
        QCOMPARE(sorted, inMemory);
        QStringList words{u"Zeta"_s,  u"erba"_s,   u"abete"_s, u"Èrario"_s,
                          u"Banca"_s, u"àncora"_s, u"banca"_s};
        std::sort(words.begin(), words.end(),
                  [](const QString &x, const QString &y) { return compareItalian(x, y) < 0; });
        QCOMPARE(words, QStringList({u"abete"_s, u"àncora"_s, u"Banca"_s, u"banca"_s, u"Èrario"_s,
                                     u"erba"_s, u"Zeta"_s}));
    }

    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void missingOrEmptyKeyGivesTheDefaultUnchanged()
    {
        TestArchive a;
        QCOMPARE(readParameter(a, u"assente"_s, ValueType::Integer, Storage::InArchive, -1),
                 QVariant(-1));
        QCOMPARE(readParameter(a, u"assente"_s, ValueType::Date, Storage::InArchive, u"nessuna"_s),
                 QVariant(u"nessuna"_s));
        a.exec(u"INSERT INTO parametri (chiave, valore) VALUES ('vuoto', '')"_s);
        QCOMPARE(readParameter(a, u"vuoto"_s, ValueType::Integer, Storage::InArchive, 7),
                 QVariant(7));
    }

    void writesOneRowPerKey()
    {
        TestArchive a;
        QVERIFY(writeParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 7));
        QVERIFY(writeParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 9));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM parametri"_s).toInt(), 1);
        QCOMPARE(readParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 1),
                 QVariant(9));
    }

    void convertsEachValueType()
    {
        TestArchive a;
        QVERIFY(writeParameter(a, u"importo"_s, ValueType::Amount, Storage::InArchive,
                               QVariant::fromValue(Money::fromCents(123450))));
        QCOMPARE(a.scalar(u"SELECT valore FROM parametri WHERE chiave = 'importo'"_s).toString(),
                 u"1.234,50"_s);
        QCOMPARE(readParameter(a, u"importo"_s, ValueType::Amount, Storage::InArchive, {})
                     .value<Money>(),
                 Money::fromCents(123450));

        QVERIFY(
            writeParameter(a, u"giorno"_s, ValueType::Date, Storage::InArchive, QDate(2024, 3, 5)));
        QCOMPARE(a.scalar(u"SELECT valore FROM parametri WHERE chiave = 'giorno'"_s).toString(),
                 u"2024-03-05"_s);
        QCOMPARE(readParameter(a, u"giorno"_s, ValueType::Date, Storage::InArchive, {}),
                 QVariant(QDate(2024, 3, 5)));

        QVERIFY(writeParameter(a, u"flag"_s, ValueType::Boolean, Storage::InArchive, true));
        QCOMPARE(readParameter(a, u"flag"_s, ValueType::Boolean, Storage::InArchive, false),
                 QVariant(true));

        QVERIFY(writeParameter(a, u"strano"_s, 9, Storage::InArchive, 5));
        QCOMPARE(a.scalar(u"SELECT valore FROM parametri WHERE chiave = 'strano'"_s).toString(),
                 QString());
        a.exec(u"UPDATE parametri SET valore = '5' WHERE chiave = 'strano'"_s);
        QVERIFY(readParameter(a, u"strano"_s, 9, Storage::InArchive, 1).isNull());
    }

    void reportsTextThatDoesNotConvert()
    {
        TestArchive a;
        a.exec(u"INSERT INTO parametri (chiave, valore) VALUES ('StartMonth', 'luglio')"_s);
        QString error;
        QVERIFY(readParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 1, &error)
                    .isNull());
        QVERIFY(error.contains(u"luglio"_s));
    }

    void bindsTheKey()
    {
        TestArchive a;
        const QString key = u"chiave'); DROP TABLE parametri; --"_s;
        QVERIFY(writeParameter(a, key, ValueType::Text, Storage::InArchive, u"l'anno"_s));
        QCOMPARE(readParameter(a, key, ValueType::Text, Storage::InArchive, {}),
                 QVariant(u"l'anno"_s));
    }

    // One query runs its statement again with new values, also after a run that failed.
    void runsAStatementAgainWithNewValues()
    {
        TestArchive a;
        const Connection connection(a.archive());
        QSqlQuery query = connection.query();
        const QString insert = u"INSERT INTO parametri (chiave, valore) VALUES (?, ?)"_s;
        QVERIFY(runSql(query, insert, {u"a"_s, u"1"_s}));
        QVERIFY(runSql(query, insert, {u"b"_s, u"2"_s}));
        QString error;
        QVERIFY(!runSql(query, insert, {u"a"_s, u"3"_s}, &error));
        QCOMPARE(engineFault(error), EngineFault::Constraint);
        QVERIFY(runSql(query, insert, {u"c"_s, u"4"_s}));
        const QString read = u"SELECT valore FROM parametri WHERE chiave = ?"_s;
        for (const auto &[key, value] : {std::pair(u"a"_s, u"1"_s), std::pair(u"c"_s, u"4"_s)}) {
            QVERIFY(runSql(query, read, {key}) && query.next());
            QCOMPARE(query.value(0).toString(), value);
        }
    }

    // Rows are read straight into blocks of 4,096: a result that fills its last block exactly,
    // or runs one row past it, keeps every row and no more; texts repeated in a column or
    // across columns read the same; a failing statement leaves nothing.
    void aRowSetKeepsEveryRowAcrossItsBlocks()
    {
        TestArchive a;
        const Connection connection(a.archive());
        for (const int count : {4096, 4097, 1}) {
            RowSet rows;
            QVERIFY(rows.load(connection,
                              u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                              u"WHERE i < ?) SELECT i, CASE WHEN i % 3 = 0 THEN 'tre' ELSE 'altro' "
                              u"END AS t, 'altro' AS u, NULL AS z FROM n ORDER BY i"_s,
                              {count}));
            QCOMPARE(rows.rowCount(), count);
            QCOMPARE(rows.fields(), (QStringList{u"i"_s, u"t"_s, u"u"_s, u"z"_s}));
            QCOMPARE(rows.value(count - 1, 0).toInt(), count);
            QCOMPARE(rows.value(count - 1, 1).toString(), count % 3 ? u"altro"_s : u"tre"_s);
            QCOMPARE(rows.value(count - 1, 2).toString(), u"altro"_s);
            QVERIFY(rows.value(count - 1, 3).isNull());
        }
        RowSet failed;
        QString error;
        QVERIFY(!failed.load(connection, u"SELECT nessuna FROM parametri"_s, {}, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(failed.rowCount(), 0);
    }

    // A cursor's rows stay while other statements run on its connection between them (a report
    // reads a subreport's rows in the middle of its own). A question mark inside quotes is text,
    // not a value to bind; integers read as numbers and a NULL as NULL on both engines.
    void aCursorKeepsItsRowsWhileOtherStatementsRun()
    {
        TestArchive a;
        const Connection connection(a.archive());
        RowCursor cursor(connection.database(),
                         u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                         u"WHERE i < ?) SELECT i, 'chi?' AS t, NULL AS z FROM n ORDER BY i"_s,
                         {5});
        QVERIFY2(cursor.errorText().isEmpty(), qPrintable(cursor.errorText()));
        QVariantList row;
        QList<qlonglong> read;
        while (cursor.next(&row)) {
            read.append(row.at(0).toLongLong());
            QCOMPARE(row.at(0).typeId(), QMetaType::LongLong);
            QCOMPARE(row.at(1).toString(), u"chi?"_s);
            QVERIFY(row.at(2).isNull());
            QSqlQuery other = connection.query();
            QVERIFY(runSql(other, u"SELECT chiave FROM parametri WHERE chiave = ?"_s, {u"x"_s}));
            while (other.next()) {
            }
        }
        QCOMPARE(read, (QList<qlonglong>{1, 2, 3, 4, 5}));
        const RowCursor failed(connection.database(), u"SELECT nessuna FROM parametri"_s, {});
        QVERIFY(isEngineText(failed.errorText()));

        // A sum of amounts is a whole number of cents on both engines, never a double; a date
        // bound as a date reads back as its ISO text.
        RowCursor sums(connection.database(),
                       u"SELECT SUM(i) AS s, CAST(? AS VARCHAR(10)) AS d FROM "
                       u"(SELECT CAST(1 AS BIGINT) AS i UNION ALL SELECT 2) AS n"_s,
                       {QDate(2024, 2, 29)});
        QVERIFY(sums.next(&row));
        QCOMPARE(row.at(0).typeId(), QMetaType::LongLong);
        QCOMPARE(row.at(0).toLongLong(), 3);
        QCOMPARE(row.at(1).toString(), u"2024-02-29"_s);
    }

    // Values are numbered for a server's client library outside quotes and comments only.
    void placeholdersAreNumberedOutsideQuotes()
    {
        QCOMPARE(numberedPlaceholders(u"SELECT a FROM t WHERE b = ? AND c = 'x?''?' AND "
                                      u"\"d?\" = ? -- e?\nAND f IN (?, ?)"_s),
                 u"SELECT a FROM t WHERE b = $1 AND c = 'x?''?' AND \"d?\" = $2 -- e?\n"
                 u"AND f IN ($3, $4)"_s);
    }

    void reportsAnUnreachableArchive()
    {
        const Archive a(u"/nessuna/cartella"_s);
        QString error;
        QVERIFY(!writeParameter(a, u"x"_s, ValueType::Text, Storage::InArchive, u"y"_s, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(u"/nessuna/cartella/contab.mdb"_s));
    }

    void keepsUserSettingsApart()
    {
        QVERIFY(writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser,
                               u"/dati/tv3_cont01"_s));
        QCOMPARE(ArchiveFolders().dataFolder(), u"/dati/tv3_cont01"_s);
        const Archive current(ArchiveFolders().dataFolder());
        QCOMPARE(current.attachmentsFolder(), u"/dati/tv3_cont01/allegati"_s);
        QCOMPARE(current.templatesFolder(), u"/dati/tv3_cont01/modelli"_s);
        QCOMPARE(current.documentsFolder(), u"/dati/tv3_cont01/documenti"_s);
        const QSettings settings(u"tovrin3"_s, u"tovrin3"_s);
        QCOMPARE(settings.value(u"settings/dataPath"_s).toString(), u"/dati/tv3_cont01"_s);
        QCOMPARE(readParameter(Archive(), u"mai"_s, ValueType::Text, Storage::PerUser, u"def"_s),
                 QVariant(u"def"_s));
    }

    void checksArchiveFolders()
    {
        QVERIFY(!ArchiveFolders::isArchiveFolder(QString()));
        TestArchive a;
        QVERIFY(ArchiveFolders::isArchiveFolder(a.folder()));
        QDir(a.folder()).rmdir(u"documenti"_s);
        QVERIFY(ArchiveFolders::isArchiveFolder(a.folder()));
        QDir(a.folder()).rmdir(u"allegati"_s);
        QFile file(QDir(a.folder()).filePath(u"allegati"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(ArchiveFolders::isArchiveFolder(a.folder()));
        QDir(a.folder()).rmdir(u"modelli"_s);
        QVERIFY(!ArchiveFolders::isArchiveFolder(a.folder()));
    }

    void tellsDatabaseFilesApart()
    {
        SKIP_ON_SERVER();
        QTemporaryDir dir;
        const QString access = dir.filePath(u"access.mdb"_s);
        QFile file(access);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20));
        file.close();
        QCOMPARE(databaseFileKind(access), DatabaseFileKind::Access);
        QCOMPARE(databaseFileKind(dir.filePath(u"manca.mdb"_s)), DatabaseFileKind::Missing);
        TestArchive a;
        QCOMPARE(databaseFileKind(a.databasePath()), DatabaseFileKind::Sqlite);
    }

    // A commit cut short leaves the database half written and the old pages in the journal;
    // opening the archive puts the old pages back.
    void opensAnArchiveLeftInTheMiddleOfACommit()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        a.exec(u"INSERT INTO parametri (chiave, valore) VALUES ('prima', '1')"_s);
        TestArchive interrupted;
        const QString journal = interrupted.databasePath() + u"-journal"_s;
        {
            const QByteArray before = bytesOf(a.databasePath());
            Connection writer(a);
            QSqlQuery query = writer.query();
            QVERIFY(runSql(query, u"PRAGMA cache_size = 10"_s));
            Transaction transaction(writer);
            for (int i = 0; i < 3000; ++i)
                QVERIFY(runSql(query, u"INSERT INTO parametri (chiave, valore) VALUES (?, ?)"_s,
                               {u"k%1"_s.arg(i), QString(200, u'x')}));
            // More pages than the cache holds: some are in the database file already.
            QVERIFY(bytesOf(a.databasePath()) != before);
            QVERIFY(QFile::remove(interrupted.databasePath()));
            QVERIFY(QFile::copy(a.databasePath(), interrupted.databasePath()));
            QVERIFY(QFile::copy(a.databasePath() + u"-journal"_s, journal));
        }
        QCOMPARE(archiveFolderProblem(interrupted.folder()), QString());
        QVERIFY(!QFile::exists(journal));
        QCOMPARE(interrupted.scalar(u"SELECT COUNT(*) FROM parametri WHERE chiave LIKE 'k%'"_s),
                 QVariant(0));
        QCOMPARE(interrupted.scalar(u"SELECT valore FROM parametri WHERE chiave = 'prima'"_s),
                 QVariant(u"1"_s));
        QCOMPARE(interrupted.scalar(u"PRAGMA integrity_check"_s), QVariant(u"ok"_s));
    }

    void writesSqlText()
    {
        QCOMPARE(sqlDateLiteral(QDate(2024, 3, 5)), u"'2024-03-05'"_s);
        QCOMPARE(endOfPreviousMonth(QDate(2024, 3, 15)), QDate(2024, 2, 29));
        QCOMPARE(endOfPreviousMonth(QDate(2024, 3, 31)), QDate(2024, 2, 29));
        QCOMPARE(endOfPreviousMonth(QDate(2024, 1, 1)), QDate(2023, 12, 31));
    }

    void filtersAndDefaults()
    {
        QCOMPARE(digitsOnlyKey('7'), int('7'));
        QCOMPARE(digitsOnlyKey(8), 8);
        QCOMPARE(digitsOnlyKey(9), 9);
        QCOMPARE(digitsOnlyKey('a'), 0);
        QCOMPARE(digitsOnlyKey(','), 0);
        QCOMPARE(textOrDefault(QVariant(), u"d"_s), u"d"_s);
        QCOMPARE(textOrDefault(12, u"d"_s), u"d"_s);
        QCOMPARE(textOrDefault(u"t"_s, u"d"_s), u"t"_s);
        QCOMPARE(numberOrDefault(u"12,5"_s, 0), 12.5);
        QCOMPARE(numberOrDefault(u"abc"_s, -1), -1.0);
        QCOMPARE(numberOrDefault(QVariant(), 3), 3.0);
        QCOMPARE(numberOrDefault(4, 0), 4.0);
    }
};

QTEST_GUILESS_MAIN(TestDataAccess)
#include "tst_dataaccess.moc"
