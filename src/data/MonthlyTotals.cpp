#include "data/MonthlyTotals.h"

#include "data/Catalogue.h"
#include "data/Database.h"
#include "data/EngineDialect.h"

#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {

// Adds the rows of an entry (or one row) to the totals of the entry's month and type. The
// server wants the kept totals named apart from the excluded row's.
QString addRows(const QString &rows, const QString &kept = QString())
{
    return uR"(INSERT INTO saldi_mese (conto, mese, tipo, dare, avere)
SELECT s.conto, substr(rm.data, 1, 7), rm.tipo, SUM(s.dare), SUM(s.avere)
  FROM (SELECT idRegMain, contodare AS conto, importo AS dare, 0 AS avere FROM %1
         WHERE contodare IS NOT NULL
        UNION ALL
        SELECT idRegMain, contoavere, 0, importo FROM %1 WHERE contoavere IS NOT NULL) s
  JOIN regmain rm ON rm.id = s.idRegMain
 WHERE true
 GROUP BY s.conto, rm.id
ON CONFLICT (conto, mese, tipo) DO UPDATE SET dare = %2dare + excluded.dare,
                                              avere = %2avere + excluded.avere;)"_s.arg(rows, kept);
}

// Adds the rows one statement inserted on a server (its transition table "nuove"), of any
// number of entries, to the totals of their entries' months and types. Each row finds its
// header through the index, whether the statement inserted one row or thousands.
const QString AddInsertedRows = uR"(INSERT INTO saldi_mese (conto, mese, tipo, dare, avere)
SELECT conto, mese, tipo, SUM(dare), SUM(avere)
  FROM (SELECT s.conto, s.dare, s.avere,
               (SELECT substr(rm.data, 1, 7) FROM regmain rm WHERE rm.id = s.idRegMain) AS mese,
               (SELECT rm.tipo FROM regmain rm WHERE rm.id = s.idRegMain) AS tipo
          FROM (SELECT idRegMain, contodare AS conto, importo AS dare, 0 AS avere FROM nuove
                 WHERE contodare IS NOT NULL
                UNION ALL
                SELECT idRegMain, contoavere, 0, importo FROM nuove
                 WHERE contoavere IS NOT NULL) s) r
 GROUP BY conto, mese, tipo
ON CONFLICT (conto, mese, tipo) DO UPDATE SET dare = saldi_mese.dare + excluded.dare,
                                              avere = saldi_mese.avere + excluded.avere;)"_s;

// Takes the rows of an entry (or one row) out of the totals of the given month and type.
QString subtractRows(const QString &rows, const QString &month, const QString &type)
{
    return uR"(UPDATE saldi_mese
   SET dare = dare - (SELECT COALESCE(SUM(importo), 0) FROM %1 WHERE contodare = saldi_mese.conto),
       avere = avere - (SELECT COALESCE(SUM(importo), 0) FROM %1 WHERE contoavere = saldi_mese.conto)
 WHERE mese = %2 AND tipo = %3
   AND conto IN (SELECT contodare FROM %1 UNION SELECT contoavere FROM %1);)"_s.arg(rows, month,
                                                                                    type);
}

const QString OldRow = u"(SELECT OLD.idRegMain AS idRegMain, OLD.contodare AS contodare, "
                       u"OLD.contoavere AS contoavere, OLD.importo AS importo)"_s;
const QString NewRow = u"(SELECT NEW.idRegMain AS idRegMain, NEW.contodare AS contodare, "
                       u"NEW.contoavere AS contoavere, NEW.importo AS importo)"_s;
const QString EntryRows = u"(SELECT * FROM regdet WHERE idRegMain = OLD.id)"_s;
const QString OldEntryMonth =
    u"(SELECT substr(data, 1, 7) FROM regmain WHERE id = OLD.idRegMain)"_s;
const QString OldEntryType = u"(SELECT tipo FROM regmain WHERE id = OLD.idRegMain)"_s;

const QString ServerKept = u"saldi_mese."_s;

// The server wants a name for every row source in FROM.
QString named(const QString &rows)
{
    return rows + u" AS r"_s;
}

const QStringList &triggerNames()
{
    static const QStringList names{u"saldi_mese_regdet_insert"_s, u"saldi_mese_regdet_delete"_s,
                                   u"saldi_mese_regdet_update"_s, u"saldi_mese_regmain_delete"_s,
                                   u"saldi_mese_regmain_update"_s};
    return names;
}

// The entry rows and the kept totals, each reduced to the same two numbers: debits less twice
// the credits, and the checksum. The weights stay small so that the sums of a large archive fit
// 64 bits; an overflow is an engine error and the caller learns nothing. One statement reads
// both, so that another user's save cannot fall between them.
const QString AgreementSums = uR"(
SELECT e.balance, e.checksum, k.balance, k.checksum
  FROM (SELECT CAST(COALESCE(SUM(r.importo * (CASE WHEN r.contodare IS NULL THEN 0 ELSE 1 END
                                 - CASE WHEN r.contoavere IS NULL THEN 0 ELSE 2 END)), 0) AS BIGINT)
                   AS balance,
               CAST(COALESCE(SUM(r.importo * (((CAST(substr(m.data, 3, 2) AS INTEGER) * 12
                                   + CAST(substr(m.data, 6, 2) AS INTEGER)) % 31 * 256
                                  + (m.tipo + 1) * 64)
                                 * (CASE WHEN r.contodare IS NULL THEN 0 ELSE 1 END
                                    + CASE WHEN r.contoavere IS NULL THEN 0 ELSE 1 END)
                                 + COALESCE(r.contodare % 19 * 2, 0)
                                 + COALESCE(r.contoavere % 19 * 2 + 1, 0))), 0) AS BIGINT)
                   AS checksum
          FROM regdet r JOIN regmain m ON m.id = r.idRegMain) e,
       (SELECT CAST(COALESCE(SUM(dare - 2 * avere), 0) AS BIGINT) AS balance,
               CAST(COALESCE(SUM((dare + avere) * ((CAST(substr(mese, 3, 2) AS INTEGER) * 12
                                       + CAST(substr(mese, 6, 2) AS INTEGER)) % 31 * 256
                                      + (tipo + 1) * 64)
                    + dare * (conto % 19 * 2) + avere * (conto % 19 * 2 + 1)), 0) AS BIGINT)
                   AS checksum
          FROM saldi_mese) k)"_s;

// Fills the empty table from every entry row.
const QString FillFromEntries = uR"(INSERT INTO saldi_mese (conto, mese, tipo, dare, avere)
SELECT s.conto, substr(rm.data, 1, 7), rm.tipo, SUM(s.dare), SUM(s.avere)
  FROM (SELECT idRegMain, contodare AS conto, importo AS dare, 0 AS avere FROM regdet
         WHERE contodare IS NOT NULL
        UNION ALL
        SELECT idRegMain, contoavere, 0, importo FROM regdet WHERE contoavere IS NOT NULL) s
  JOIN regmain rm ON rm.id = s.idRegMain
 GROUP BY s.conto, substr(rm.data, 1, 7), rm.tipo)"_s;

std::optional<bool> allTriggersPresent(const QSqlDatabase &database, QString *error)
{
    const std::optional<QStringList> present = schemaTriggers(database, error);
    if (!present)
        return std::nullopt;
    for (const QString &name : triggerNames())
        if (!present->contains(name, Qt::CaseInsensitive))
            return false;
    return true;
}

} // namespace

const QStringList &monthlyTotalsSchema(Engine engine)
{
    static const QString table = uR"(CREATE TABLE saldi_mese (
    conto INTEGER NOT NULL,
    mese  TEXT NOT NULL,
    tipo  INTEGER NOT NULL,
    dare  INTEGER NOT NULL DEFAULT 0,
    avere INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (conto, mese, tipo)
) WITHOUT ROWID)"_s;
    static const QString index = u"CREATE INDEX saldi_mese_mese ON saldi_mese (mese, tipo)"_s;
    static const QString regmainChanged =
        u"substr(OLD.data, 1, 7) <> substr(NEW.data, 1, 7) OR OLD.tipo <> NEW.tipo"_s;
    static const QStringList sqlite{
        table,
        index,
        u"CREATE TRIGGER saldi_mese_regdet_insert AFTER INSERT ON regdet BEGIN\n"_s +
            addRows(NewRow) + u"\nEND"_s,
        u"CREATE TRIGGER saldi_mese_regdet_delete AFTER DELETE ON regdet BEGIN\n"_s +
            subtractRows(OldRow, OldEntryMonth, OldEntryType) + u"\nEND"_s,
        u"CREATE TRIGGER saldi_mese_regdet_update AFTER UPDATE ON regdet BEGIN\n"_s +
            subtractRows(OldRow, OldEntryMonth, OldEntryType) + u'\n' + addRows(NewRow) +
            u"\nEND"_s,
        // The rows go before their header, while the header still gives their month and type.
        u"CREATE TRIGGER saldi_mese_regmain_delete BEFORE DELETE ON regmain BEGIN\n"
        u"DELETE FROM regdet WHERE idRegMain = OLD.id;\nEND"_s,
        u"CREATE TRIGGER saldi_mese_regmain_update AFTER UPDATE OF data, tipo ON regmain\n"
        u"WHEN "_s +
            regmainChanged + u" BEGIN\n"_s +
            subtractRows(EntryRows, u"substr(OLD.data, 1, 7)"_s, u"OLD.tipo"_s) + u'\n' +
            addRows(u"(SELECT * FROM regdet WHERE idRegMain = NEW.id)"_s) + u"\nEND"_s,
    };
    // The same bodies as functions of the server's triggers. The rows a statement inserts are
    // added all at once: a post or an import inserts many in one statement.
    static const auto serverTrigger = [](const QString &name, const QString &event,
                                         const QString &body, const QString &result,
                                         const QString &when = QString()) {
        return QStringList{
            u"CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$\nBEGIN\n%2\n"
            u"RETURN %3;\nEND $$"_s.arg(name, body, result),
            u"CREATE TRIGGER %1 %2 %3 EXECUTE FUNCTION %1()"_s.arg(
                name, event, when.isEmpty() ? u"FOR EACH ROW"_s : when)};
    };
    static const QStringList server =
        QStringList{table, index} +
        serverTrigger(u"saldi_mese_regdet_insert"_s,
                      u"AFTER INSERT ON regdet REFERENCING NEW TABLE AS nuove"_s, AddInsertedRows,
                      u"NULL"_s, u"FOR EACH STATEMENT"_s) +
        serverTrigger(u"saldi_mese_regdet_delete"_s, u"AFTER DELETE ON regdet"_s,
                      subtractRows(named(OldRow), OldEntryMonth, OldEntryType), u"NULL"_s) +
        serverTrigger(u"saldi_mese_regdet_update"_s, u"AFTER UPDATE ON regdet"_s,
                      subtractRows(named(OldRow), OldEntryMonth, OldEntryType) + u'\n' +
                          addRows(named(NewRow), ServerKept),
                      u"NULL"_s) +
        serverTrigger(u"saldi_mese_regmain_delete"_s, u"BEFORE DELETE ON regmain"_s,
                      u"DELETE FROM regdet WHERE idRegMain = OLD.id;"_s, u"OLD"_s) +
        serverTrigger(
            u"saldi_mese_regmain_update"_s, u"AFTER UPDATE OF data, tipo ON regmain"_s,
            subtractRows(named(EntryRows), u"substr(OLD.data, 1, 7)"_s, u"OLD.tipo"_s) + u'\n' +
                addRows(named(u"(SELECT * FROM regdet WHERE idRegMain = NEW.id)"_s), ServerKept),
            u"NULL"_s, u"FOR EACH ROW WHEN ("_s + regmainChanged + u')');
    return engine == Engine::Postgres ? server : sqlite;
}

bool hasMonthlyTotals(const QSqlDatabase &database)
{
    return schemaObjectExists(database, u"table"_s, monthlyTotalsTable()).value_or(false);
}

bool ensureMonthlyTotals(const Connection &connection, QString *error)
{
    if (hasMonthlyTotals(connection.database()))
        return true;
    QSqlQuery query = connection.query();
    const Engine engine = engineOf(connection.database());
    for (const QString &statement : monthlyTotalsSchema(engine))
        if (!runDefinition(query, statement, error))
            return false;
    return runSql(query, FillFromEntries, {}, error);
}

std::optional<bool> monthlyTotalsAgree(const QSqlDatabase &database, QString *error)
{
    if (!hasMonthlyTotals(database))
        return false;
    const std::optional<bool> triggers = allTriggersPresent(database, error);
    if (!triggers || !*triggers)
        return triggers;
    QSqlQuery query(database);
    if (!runSql(query, AgreementSums, {}, error) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong() == query.value(2).toLongLong() &&
           query.value(1).toLongLong() == query.value(3).toLongLong();
}

bool rebuildMonthlyTotals(const Connection &connection, QString *error)
{
    return dropMonthlyTotals(connection, error) && ensureMonthlyTotals(connection, error);
}

bool dropMonthlyTotals(const Connection &connection, QString *error)
{
    QSqlQuery query = connection.query();
    const EngineDialect &dialect = dialectOf(connection.database());
    for (const QString &trigger : triggerNames())
        if (!runSql(query, dialect.dropTrigger(trigger), {}, error))
            return false;
    return runSql(query, u"DROP TABLE IF EXISTS saldi_mese"_s, {}, error);
}

// Known sound without reading the rows: verified in this process at the file's present state,
// or stamped so by the program's own last commit with nothing written since.
bool knownSound(const QSqlDatabase &database)
{
    if (const std::optional<bool> known = verifiedState(database))
        return *known;
    const std::optional<quint32> counter = changeCounter(database);
    if (!counter || !stampedSound(database) || allTriggersPresent(database, nullptr) != true)
        return false;
    markVerified(database, *counter, true);
    return true;
}

bool repairMonthlyTotals(const Connection &connection, QString *error)
{
    if (knownSound(connection.database()))
        return true;
    const std::optional<bool> agree = monthlyTotalsAgree(connection.database(), error);
    if (!agree)
        return false;
    if (!*agree && !rebuildMonthlyTotals(connection, error))
        return false;
    // Sound as this transaction leaves them: its commit carries the mark over.
    if (const std::optional<quint32> counter = changeCounter(connection.database()))
        markVerified(connection.database(), *counter, true);
    return true;
}

bool monthlyTotalsTrusted(const QSqlDatabase &database)
{
    if (!hasMonthlyTotals(database))
        return false;
    if (knownSound(database))
        return true;
    if (const std::optional<bool> known = verifiedState(database))
        return *known;
    const std::optional<quint32> before = changeCounter(database);
    QString error;
    const std::optional<bool> agree = monthlyTotalsAgree(database, &error);
    if (agree && before && changeCounter(database) == before)
        markVerified(database, *before, *agree);
    return agree.value_or(false);
}

QString monthlyTotalsTable()
{
    return u"saldi_mese"_s;
}
