#include "data/Database.h"
#include "data/EngineDialect.h"
#include "data/PortableSql.h"
#include "data/Schema.h"
#include "support/GoldenText.h"
#include "support/TestArchive.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Line {
    qint64 conto;
    qint64 dare;
    qint64 avere;
    qint64 saldo;
    qint64 saldo2;
    QString contropartita;
};

QList<Line> schedeOf(const TestArchive &archive, qint64 rmId)
{
    Connection connection(archive.archive());
    QSqlQuery query = connection.query();
    runSql(query,
           u"SELECT conto, dare, avere, saldo, saldo2, contropartita FROM schede "
           u"WHERE rmId = ? ORDER BY riga, avere"_s,
           {rmId});
    QList<Line> lines;
    while (query.next())
        lines.append({query.value(0).toLongLong(), query.value(1).toLongLong(),
                      query.value(2).toLongLong(), query.value(3).toLongLong(),
                      query.value(4).toLongLong(), query.value(5).toString()});
    return lines;
}

// Every statement a dialect writes, with sample arguments, as one text.
QString dialectText(const EngineDialect &dialect)
{
    QStringList parts;
    const auto add = [&parts](const QString &what, const SqlStatement &statement) {
        QStringList values;
        for (const QVariant &value : statement.values)
            values.append(value.toString());
        parts.append(u"-- %1 [%2]\n%3"_s.arg(what, values.join(u", "_s), statement.sql));
    };
    const auto addText = [&add](const QString &what, const QString &sql) {
        add(what, SqlStatement{sql, {}});
    };
    const auto addAll = [&add](const QString &what, const QList<SqlStatement> &statements) {
        for (const SqlStatement &statement : statements)
            add(what, statement);
    };
    const auto texts = [](const QStringList &sql) {
        QList<SqlStatement> statements;
        for (const QString &text : sql)
            statements.append(SqlStatement{text, {}});
        return statements;
    };
    addText(u"definition"_s,
            dialect.definition(u"CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, data DATE, "
                               u"codice TEXT CHECK (codice NOT GLOB '*[^0-9]*'), n INTEGER CHECK "
                               u"(typeof(n) = 'integer' AND n > 0)) WITHOUT ROWID"_s));
    addText(u"definition"_s, dialect.definition(u"CREATE INDEX t_data ON t (data)"_s));
    addAll(u"functionsFirst"_s, texts(dialect.functionsFirst()));
    addText(u"dropTrigger"_s, dialect.dropTrigger(u"t_insert"_s));
    addText(u"calendarDate"_s, dialect.calendarDate(u"data"_s));
    addText(u"joinInWrittenOrder"_s, dialect.joinInWrittenOrder());
    addText(u"storedName"_s, dialect.storedName(u"idRegMain"_s));
    add(u"objectExists"_s, dialect.objectExists(u"trigger"_s, u"t_insert"_s));
    addText(u"triggerNames"_s, dialect.triggerNames());
    add(u"tableColumns"_s, dialect.tableColumns(u"regmain"_s));
    add(u"columnType"_s, dialect.columnType(u"conti"_s, u"descrizione"_s));
    addText(u"schemaObjects"_s, dialect.schemaObjects());
    addText(u"tableCount"_s, dialect.tableCount());
    addText(u"beginWrite"_s, dialect.beginWrite());
    addText(u"beginSnapshot"_s, dialect.beginSnapshot());
    addText(u"firstRead"_s, dialect.firstRead());
    for (const auto &lock : {dialect.archiveLock(false), dialect.archiveLock(true),
                             dialect.fiscalYearLock(2026), dialect.bankStatementsLock(3)})
        add(u"lock"_s, lock.value_or(SqlStatement{u"(none)"_s, {}}));
    addText(u"idsFollowRows"_s, dialect.idsFollowRows() ? u"yes"_s : u"no"_s);
    add(u"highestIdGiven"_s, dialect.highestIdGiven(u"regmain"_s));
    addAll(u"setHighestIdGiven"_s, dialect.setHighestIdGiven(u"regmain"_s, 41));
    add(u"reserveIds"_s, dialect.reserveIds(u"regmain"_s, 3));
    addText(u"tablesWithIds"_s, dialect.tablesWithIds());
    addAll(u"beforeManyRows"_s, texts(dialect.beforeManyRows()));
    addAll(u"afterTablesCopied"_s, texts(dialect.afterTablesCopied({u"conti"_s, u"regmain"_s})));
    return parts.join(u"\n\n"_s) + u'\n';
}

bool refused(const TestArchive &archive, const QString &sql, const QVariantList &values = {})
{
    Connection connection(archive.archive());
    QSqlQuery query = connection.query();
    return !runSql(query, sql, values);
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

    qint64 cassa = 0, banca = 0, fornitori = 0, affitti = 0, quote = 0, ordine = 0;

    void buildChart(TestArchive &a)
    {
        const qint64 att =
            a.addConto(a.addMastro(u"A01"_s, u"Liquidità"_s, 1), u"A01001"_s, u"Cassa e banche"_s);
        cassa = a.addSottoconto(att, u"Cassa"_s);
        banca = a.addSottoconto(att, u"Banca"_s);
        fornitori = a.addSottoconto(
            a.addConto(a.addMastro(u"P01"_s, u"Debiti"_s, 2), u"P01001"_s, u"Fornitori"_s),
            u"Fornitore Rossi"_s);
        affitti = a.addSottoconto(
            a.addConto(a.addMastro(u"C01"_s, u"Costi"_s, 3), u"C01001"_s, u"Godimento beni"_s),
            u"Affitti"_s);
        quote = a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s),
            u"Quote associative"_s);
        ordine = a.addSottoconto(
            a.addConto(a.addMastro(u"O01"_s, u"Ordine"_s, 0), u"O01001"_s, u"Beni di terzi"_s),
            u"Beni in comodato"_s);
    }

private slots:
    void rowWithBothSidesGivesTwoLines()
    {
        TestArchive a;
        buildChart(a);
        const qint64 id =
            a.addEntry(QDate(2024, 3, 5), {{cassa, banca, Money::fromCents(1000), u"Prelievo"_s}});
        const QList<Line> lines = schedeOf(a, id);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].conto, cassa);
        QCOMPARE(lines[0].dare, 100000LL);
        QCOMPARE(lines[0].avere, 0LL);
        QCOMPARE(lines[0].contropartita, u"Banca"_s);
        QCOMPARE(lines[1].conto, banca);
        QCOMPARE(lines[1].avere, 100000LL);
        QCOMPARE(lines[1].contropartita, u"Cassa"_s);
    }

    void signsBalancesByNature()
    {
        TestArchive a;
        buildChart(a);
        const qint64 id =
            a.addEntry(QDate(2024, 3, 5), {{affitti, {}, Money::fromCents(500), u"Affitto"_s},
                                           {{}, fornitori, Money::fromCents(500), u"Affitto"_s},
                                           {cassa, {}, Money::fromCents(200), u"Quota"_s},
                                           {{}, quote, Money::fromCents(200), u"Quota"_s},
                                           {ordine, {}, Money::fromCents(70), u"Comodato"_s},
                                           {{}, ordine, Money::fromCents(30), u"Comodato"_s}});
        const QList<Line> lines = schedeOf(a, id);
        QCOMPARE(lines.size(), 6);
        // cost on the debit side: saldo is avere - dare, saldo2 dare - avere
        QCOMPARE(lines[0].saldo, -50000LL);
        QCOMPARE(lines[0].saldo2, 50000LL);
        // liability on the credit side: dare - avere, and the normal side is credit
        QCOMPARE(lines[1].saldo, -50000LL);
        QCOMPARE(lines[1].saldo2, 50000LL);
        // asset debit
        QCOMPARE(lines[2].saldo, 20000LL);
        QCOMPARE(lines[2].saldo2, 20000LL);
        // revenue credit
        QCOMPARE(lines[3].saldo, 20000LL);
        QCOMPARE(lines[3].saldo2, 20000LL);
        // memorandum accounts count like assets
        QCOMPARE(lines[4].saldo, 7000LL);
        QCOMPARE(lines[5].saldo, -3000LL);
        QCOMPARE(lines[5].saldo2, -3000LL);
    }

    void namesTheCounterpartOrDiversi()
    {
        TestArchive a;
        buildChart(a);
        const qint64 split = a.addEntry(
            QDate(2024, 3, 5), {{affitti, {}, Money::fromCents(300), u"Affitto"_s},
                                {{}, cassa, Money::fromCents(100), u"Pagato in contanti"_s},
                                {{}, banca, Money::fromCents(200), u"Pagato con bonifico"_s}});
        const QList<Line> lines = schedeOf(a, split);
        QCOMPARE(lines[0].contropartita, u"Diversi"_s);
        QCOMPARE(lines[1].contropartita, u"Affitti"_s);
        QCOMPARE(lines[2].contropartita, u"Affitti"_s);

        // The same sub-account credited twice is still one counterpart.
        const qint64 twice =
            a.addEntry(QDate(2024, 3, 6), {{affitti, {}, Money::fromCents(300), u"Affitto"_s},
                                           {{}, cassa, Money::fromCents(100), u"Rata 1"_s},
                                           {{}, cassa, Money::fromCents(200), u"Rata 2"_s}});
        QCOMPARE(schedeOf(a, twice)[0].contropartita, u"Cassa"_s);
    }

    void deletingAHeaderDeletesItsRows()
    {
        TestArchive a;
        buildChart(a);
        const qint64 id =
            a.addEntry(QDate(2024, 3, 5), {{cassa, banca, Money::fromCents(1000), u"x"_s}});
        a.exec(u"DELETE FROM regmain WHERE id = ?"_s, {id});
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regdet"_s).toInt(), 0);
    }

    void refusesBrokenData()
    {
        TestArchive a;
        buildChart(a);
        const qint64 entry =
            a.addEntry(QDate(2024, 3, 5), {{cassa, banca, Money::fromCents(1000), u"x"_s}});
        QVERIFY(refused(a, u"DELETE FROM sottoconti WHERE id = ?"_s, {cassa}));
        QVERIFY(refused(a, u"DELETE FROM mastri WHERE prefisso = 'A01'"_s));
        QVERIFY(refused(a, u"DELETE FROM conti WHERE prefisso = 'A01001'"_s));
        QVERIFY(refused(
            a,
            u"INSERT INTO conti (idMastro, prefisso, descrizione) SELECT idMastro, prefisso, 'bis' FROM conti WHERE prefisso = 'A01001'"_s));
        QVERIFY(refused(
            a,
            u"INSERT INTO mastri (prefisso, descrizione, tipo) VALUES ('a01', 'minuscolo', 1)"_s));
        QVERIFY(refused(
            a, u"INSERT INTO mastri (prefisso, descrizione, tipo) VALUES ('A09', 'natura', 5)"_s));
        QVERIFY(refused(
            a,
            u"INSERT INTO regdet (idRegMain, riga, importo, descrizione) VALUES (?, 20, 100, 'nessun conto')"_s,
            {entry}));
        QVERIFY(refused(
            a,
            u"INSERT INTO regdet (idRegMain, riga, contodare, importo, descrizione) VALUES (?, 20, ?, 0, 'zero')"_s,
            {entry, cassa}));
        // A server rounds a decimal into an integer column; the program writes whole units.
        QVERIFY(
            a.onServer() ||
            refused(
                a,
                u"INSERT INTO regdet (idRegMain, riga, contodare, importo, descrizione) VALUES (?, 20, ?, 1.5, 'decimale')"_s,
                {entry, cassa}));
        QVERIFY(refused(
            a,
            u"INSERT INTO regdet (idRegMain, riga, contodare, importo, descrizione) VALUES (?, 20, 99999, 100, 'conto inesistente')"_s,
            {entry}));
        QVERIFY(refused(a, u"INSERT INTO regmain (data, tipo) VALUES ('2024-02-30', 0)"_s));
        QVERIFY(refused(a, u"INSERT INTO regmain (data, tipo) VALUES ('2024-03-05', 2)"_s));
        QVERIFY(
            refused(a, u"INSERT INTO parametri (chiave, valore) VALUES ('x', '1'), ('x', '2')"_s));
    }

    void closingEntriesFilterByType()
    {
        TestArchive a;
        buildChart(a);
        a.addEntry(QDate(2024, 3, 5), {{cassa, quote, Money::fromCents(1000), u"Quota"_s}});
        a.addEntry(QDate(2024, 12, 31), {{quote, cassa, Money::fromCents(1000), u"Chiusura"_s}},
                   -1);
        const QString sum =
            u"SELECT COALESCE(SUM(saldo), 0) FROM schede WHERE conto = ? AND tipo > ?"_s;
        QCOMPARE(a.scalar(sum, {quote, -1}).toLongLong(), 100000LL);
        QCOMPARE(a.scalar(sum, {quote, -2}).toLongLong(), 0LL);
    }

    // The schema each engine is given, statement by statement: a change to either shows here.
    void eachEngineGetsTheSchemaOfItsGoldenFile()
    {
        for (const auto &[engine, name] :
             {std::pair(Engine::Sqlite, u"schema_sqlite.sql"_s),
              std::pair(Engine::Postgres, u"schema_postgresql.sql"_s)}) {
            QString difference;
            QVERIFY2(matchesGolden(name, programSchemaFor(engine).join(u";\n\n"_s) + u";\n"_s,
                                   &difference),
                     qPrintable(difference));
        }
    }

    // What each engine's dialect writes: a change to either shows here.
    void eachDialectWritesTheStatementsOfItsGoldenFile()
    {
        for (const auto &[engine, name] :
             {std::pair(Engine::Sqlite, u"dialect_sqlite.sql"_s),
              std::pair(Engine::Postgres, u"dialect_postgresql.sql"_s)}) {
            QString difference;
            QVERIFY2(matchesGolden(name, dialectText(dialectFor(engine)), &difference),
                     qPrintable(difference));
        }
    }

    // The file's ids come from a statement of its own: ascending after the highest id ever given,
    // a deleted row's included, and nothing asked for nothing.
    void reservedIdsFollowTheHighestEverGiven()
    {
        TestArchive a;
        buildChart(a);
        a.addEntry(QDate(2024, 3, 5), {{cassa, quote, Money::fromCents(1), u"Quota"_s}});
        const qint64 second =
            a.addEntry(QDate(2024, 3, 6), {{cassa, quote, Money::fromCents(2), u"Quota"_s}});
        Connection connection(a.archive());
        Transaction transaction(connection);
        QSqlQuery query = connection.query();
        QVERIFY(runSql(query, u"DELETE FROM regdet WHERE idRegMain = ?"_s, {second}));
        QVERIFY(runSql(query, u"DELETE FROM regmain WHERE id = ?"_s, {second}));
        const auto ids = reserveIds(connection.database(), u"regmain"_s, 3, nullptr);
        QVERIFY(ids);
        QCOMPARE(*ids, (QList<qint64>{second + 1, second + 2, second + 3}));
        QCOMPARE(reserveIds(connection.database(), u"regmain"_s, 0, nullptr)->size(), 0);
    }

    void constructsTheEnginesReadDifferentlyAreFound_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("portable");
        QTest::newRow("glob") << u"SELECT 1 FROM conti WHERE prefisso GLOB '[0-9]*'"_s << false;
        QTest::newRow("like") << u"SELECT 1 FROM conti WHERE descrizione LIKE ?"_s << false;
        QTest::newRow("is value") << u"SELECT 1 FROM regmain WHERE progressivo IS ?"_s << false;
        QTest::newRow("is not value") << u"SELECT 1 FROM regmain WHERE tipo IS NOT ?"_s << false;
        QTest::newRow("rowid") << u"SELECT rowid FROM conti"_s << false;
        QTest::newRow("typeof") << u"SELECT typeof(importo) FROM regdet"_s << false;
        QTest::newRow("limit -1") << u"SELECT id FROM conti LIMIT -1 OFFSET 2"_s << false;
        QTest::newRow("date modifier") << u"SELECT date(data, '+1 month') FROM regmain"_s << false;
        QTest::newRow("start of month")
            << u"SELECT date(data, 'start of month') FROM regmain"_s << false;
        QTest::newRow("quoted capitals") << u"SELECT \"idMastro\" FROM conti"_s << false;
        QTest::newRow("cross join on")
            << u"SELECT 1 FROM regmain m CROSS JOIN regdet d ON d.idRegMain = m.id"_s << false;
        QTest::newRow("unnamed derived")
            << u"SELECT COUNT(*) FROM (SELECT id FROM conti)"_s << false;
        QTest::newRow("null tests")
            << u"SELECT 1 FROM regmain WHERE progressivo IS NULL OR tipo IS NOT NULL "
               u"OR data IS NOT DISTINCT FROM ?"_s
            << true;
        QTest::newRow("words in literals and comments")
            << u"SELECT 'GLOB LIKE +1 days' -- rowid\nFROM conti WHERE descrizione = 'x''y'"_s
            << true;
        QTest::newRow("named derived and join")
            << u"SELECT COUNT(*) FROM (SELECT id FROM conti) AS c JOIN (SELECT 1 AS x) y ON true"_s
            << true;
        QTest::newRow("schema statement")
            << u"CREATE TABLE t (x INTEGER CHECK (x GLOB '*'))"_s << true;
    }

    void constructsTheEnginesReadDifferentlyAreFound()
    {
        QFETCH(QString, sql);
        QFETCH(bool, portable);
        QCOMPARE(nonPortableConstruct(sql).isEmpty(), portable);
    }

    void idsAreNeverReused()
    {
        TestArchive a;
        buildChart(a);
        const qint64 first =
            a.addEntry(QDate(2024, 3, 5), {{cassa, banca, Money::fromCents(1), u"x"_s}});
        a.exec(u"DELETE FROM regmain WHERE id = ?"_s, {first});
        const qint64 second =
            a.addEntry(QDate(2024, 3, 5), {{cassa, banca, Money::fromCents(1), u"x"_s}});
        QVERIFY(second > first);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
