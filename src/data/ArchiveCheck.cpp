#include "data/ArchiveCheck.h"

#include "data/Backup.h"
#include "data/ClosedYears.h"
#include "data/EngineDialect.h"
#include "data/JournalEntry.h"
#include "data/MonthlyTotals.h"
#include "data/Renumbering.h"
#include "data/SqlText.h"

#include <QJsonArray>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The rules of the archive's tables, each as the condition a breaking row meets: on a file,
// whose columns take any type, the type is part of the rule; a server's column types keep other
// types out themselves.
struct ValueRule {
    QString table;
    QString column;
    QString brokenInFile;
    QString brokenOnServer; // empty: the column's type is the whole rule
};

const QList<ValueRule> &valueRules()
{
    static const QList<ValueRule> rules{
        {u"regmain"_s, u"data"_s,
         u"typeof(data) <> 'text' OR data NOT GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' "
         u"OR date(data, '+0 days') IS NOT data"_s,
         u"data !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}$'"_s},
        {u"regmain"_s, u"progressivo"_s,
         u"progressivo IS NOT NULL AND typeof(progressivo) <> 'integer'"_s, QString()},
        {u"regmain"_s, u"tipo"_s, u"typeof(tipo) <> 'integer' OR tipo NOT IN (-1, 0, 1)"_s,
         u"tipo NOT IN (-1, 0, 1)"_s},
        {u"regdet"_s, u"importo"_s,
         u"typeof(importo) <> 'integer' OR importo = 0 OR importo % 100 <> 0"_s,
         u"importo = 0 OR importo % 100 <> 0"_s},
        {u"regdet"_s, u"contodare"_s, u"contodare IS NULL AND contoavere IS NULL"_s,
         u"contodare IS NULL AND contoavere IS NULL"_s},
        {u"mastri"_s, u"tipo"_s, u"typeof(tipo) <> 'integer' OR tipo NOT IN (0, 1, 2, 3, 4)"_s,
         u"tipo NOT IN (0, 1, 2, 3, 4)"_s},
        {u"mastri"_s, u"prefisso"_s,
         u"typeof(prefisso) <> 'text' OR length(prefisso) <> 3 "
         u"OR prefisso GLOB '*[^0-9A-Z]*'"_s,
         u"length(prefisso) <> 3 OR prefisso ~ '[^0-9A-Z]'"_s},
        {u"conti"_s, u"prefisso"_s,
         u"typeof(prefisso) <> 'text' OR length(prefisso) <> 6 "
         u"OR prefisso GLOB '*[^0-9A-Z]*'"_s,
         u"length(prefisso) <> 6 OR prefisso ~ '[^0-9A-Z]'"_s},
        {u"conti"_s, u"bilancio"_s, u"typeof(bilancio) <> 'integer' OR bilancio NOT IN (0, 1)"_s,
         u"bilancio NOT IN (0, 1)"_s},
    };
    return rules;
}

// The condition an entry's date meets when the engine reads it as a date of the calendar; a
// server's table checks every date it keeps against the calendar itself.
QString calendarDate(const QSqlDatabase &database)
{
    return dialectOf(database).calendarDate(u"data"_s);
}

bool readIntegrity(const Connection &connection, QStringList *findings, QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, u"PRAGMA integrity_check"_s, {}, error))
        return false;
    while (query.next()) {
        const QString finding = query.value(0).toString();
        if (finding != u"ok"_s)
            findings->append(finding);
    }
    return true;
}

bool readForeignKeys(const Connection &connection, QList<ForeignKeyProblem> *problems,
                     QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, u"PRAGMA foreign_key_check"_s, {}, error))
        return false;
    while (query.next())
        problems->append(
            {query.value(0).toString(), query.value(1).toLongLong(), query.value(2).toString()});
    return true;
}

bool readIds(const Connection &connection, const QString &sql, const QVariantList &values,
             QList<qint64> *ids, QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, sql, values, error))
        return false;
    while (query.next())
        ids->append(query.value(0).toLongLong());
    return true;
}

bool readInvalidValues(const Connection &connection, QList<InvalidValue> *invalid, QString *error)
{
    QSqlQuery query = connection.query();
    const bool server = isServer(connection.database());
    for (const ValueRule &rule : valueRules()) {
        const QString &broken = server ? rule.brokenOnServer : rule.brokenInFile;
        if (broken.isEmpty())
            continue;
        // Table, column and condition are the fixed texts above, never data.
        if (!runSql(query,
                    u"SELECT id, %1 FROM %2 WHERE %3 ORDER BY id"_s.arg(rule.column, rule.table,
                                                                        broken),
                    {}, error))
            return false;
        while (query.next())
            invalid->append({rule.table, query.value(0).toLongLong(), rule.column, query.value(1)});
    }
    return true;
}

// Every month, sub-account and entry type where the kept totals and the entry rows disagree,
// either way round; a kept line of zeros stands for no rows.
const QString MonthlyTotalsDriftSql = uR"(
WITH actual AS (
  SELECT s.conto, substr(rm.data, 1, 7) AS mese, rm.tipo, SUM(s.dare) AS dare,
         SUM(s.avere) AS avere
    FROM (SELECT idRegMain, contodare AS conto, importo AS dare, 0 AS avere FROM regdet
           WHERE contodare IS NOT NULL
          UNION ALL
          SELECT idRegMain, contoavere, 0, importo FROM regdet WHERE contoavere IS NOT NULL) s
    JOIN regmain rm ON rm.id = s.idRegMain
   GROUP BY s.conto, mese, rm.tipo)
SELECT a.conto, a.mese, a.tipo FROM actual a
 WHERE NOT EXISTS (SELECT 1 FROM saldi_mese k WHERE k.conto = a.conto AND k.mese = a.mese
                      AND k.tipo = a.tipo AND k.dare = a.dare AND k.avere = a.avere)
UNION
SELECT k.conto, k.mese, k.tipo FROM saldi_mese k
 WHERE (k.dare <> 0 OR k.avere <> 0)
   AND NOT EXISTS (SELECT 1 FROM actual a WHERE a.conto = k.conto AND a.mese = k.mese
                      AND a.tipo = k.tipo)
ORDER BY 1, 2, 3
)"_s;

bool readMonthlyTotalsDrift(const Connection &connection, QList<MonthlyTotalDrift> *drift,
                            QString *error)
{
    if (!hasMonthlyTotals(connection.database()))
        return true;
    QSqlQuery query = connection.query();
    if (!runSql(query, MonthlyTotalsDriftSql, {}, error))
        return false;
    while (query.next())
        drift->append(
            {query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toInt()});
    return true;
}

// The balance-sheet sub-accounts' balance over year before its closing and their opening in
// next, both as debit minus credit.
const QString ClosingAgainstOpeningSql = uR"(
WITH moves AS (
  SELECT rm.data, rm.tipo, d.contodare AS conto, d.importo AS importo
    FROM regdet d JOIN regmain rm ON rm.id = d.idRegMain WHERE d.contodare IS NOT NULL
  UNION ALL
  SELECT rm.data, rm.tipo, d.contoavere, -d.importo
    FROM regdet d JOIN regmain rm ON rm.id = d.idRegMain WHERE d.contoavere IS NOT NULL)
SELECT m.conto,
       SUM(CASE WHEN m.data <= ? AND m.tipo <> -1 THEN m.importo ELSE 0 END),
       SUM(CASE WHEN m.data >= ? AND m.tipo = 1 THEN m.importo ELSE 0 END)
  FROM moves m
  JOIN sottoconti s ON s.id = m.conto
  JOIN conti c ON c.id = s.idConto
  JOIN mastri ma ON ma.id = c.idMastro
 WHERE ma.tipo IN (1, 2) AND m.data BETWEEN ? AND ?
 GROUP BY m.conto ORDER BY m.conto
)"_s;

// The same from the monthly totals, when they agree with the entries: fiscal years begin on the
// first of a month, so their months are whole.
const QString ClosingAgainstOpeningFromTotalsSql = uR"(
SELECT k.conto,
       SUM(CASE WHEN k.mese <= ? AND k.tipo <> -1 THEN k.dare - k.avere ELSE 0 END),
       SUM(CASE WHEN k.mese >= ? AND k.tipo = 1 THEN k.dare - k.avere ELSE 0 END)
  FROM saldi_mese k
  JOIN sottoconti s ON s.id = k.conto
  JOIN conti c ON c.id = s.idConto
  JOIN mastri ma ON ma.id = c.idMastro
 WHERE ma.tipo IN (1, 2) AND k.mese BETWEEN ? AND ?
 GROUP BY k.conto ORDER BY k.conto
)"_s;

// The sub-accounts whose opening in next differs from their balance before year's closing. The
// result opens on one sub-account less than its balance: one difference equal to minus the
// result is that, not a mismatch.
bool readOpeningMismatch(const Connection &connection, const FiscalYear &year,
                         const FiscalYear &next, bool fromTotals, QList<qint64> *mismatch,
                         QString *error)
{
    QSqlQuery query = connection.query();
    const auto bound = [fromTotals](const QDate &date) {
        return fromTotals ? date.toString(u"yyyy-MM"_s) : isoDate(date);
    };
    if (!runSql(query, fromTotals ? ClosingAgainstOpeningFromTotalsSql : ClosingAgainstOpeningSql,
                {bound(year.end), bound(next.start), bound(year.start), bound(next.end)}, error))
        return false;
    qint64 result = 0;
    QList<std::pair<qint64, qint64>> differences;
    while (query.next()) {
        const qint64 closing = query.value(1).toLongLong();
        result += closing;
        differences.append({query.value(0).toLongLong(), query.value(2).toLongLong() - closing});
    }
    bool resultSeen = result == 0;
    for (const auto &[account, difference] : differences) {
        if (difference == 0)
            continue;
        if (!resultSeen && difference == -result) {
            resultSeen = true;
            continue;
        }
        mismatch->append(account);
    }
    return true;
}

bool readFiscalYear(const Connection &connection, const FiscalYear &year, bool fromTotals,
                    FiscalYearCheck *check, QString *error)
{
    check->dal = year.start;
    check->al = year.end;
    const std::optional<bool> closed =
        holdsEntriesOfType(connection.database(), year, EntryKind::Closing, error);
    if (!closed)
        return false;
    check->closed = *closed;
    if (!check->closed)
        return true;
    const QVariantList bounds{isoDate(year.start), isoDate(year.end)};
    if (!readIds(connection,
                 u"SELECT id FROM regmain WHERE tipo = 0 AND data BETWEEN ? AND ? AND ("
                 u"id > (SELECT MIN(id) FROM regmain WHERE tipo = -1 AND data BETWEEN ? AND ?) "
                 u"OR data > (SELECT MAX(data) FROM regmain WHERE tipo = -1 "
                 u"AND data BETWEEN ? AND ?)) ORDER BY id"_s,
                 bounds + bounds + bounds, &check->afterClosing, error))
        return false;
    const FiscalYear next = fiscalYearContaining(year.end.addDays(1), year.start.month());
    const std::optional<bool> opened =
        holdsEntriesOfType(connection.database(), next, EntryKind::Opening, error);
    if (!opened)
        return false;
    return !*opened ||
           readOpeningMismatch(connection, year, next, fromTotals, &check->openingMismatch, error);
}

// Every fiscal year from the one of the first entry to the one of the last; the balances come
// from the monthly totals when they agree with the entries.
bool readFiscalYears(const Connection &connection, bool fromTotals, QList<FiscalYearCheck> *years,
                     QString *error)
{
    const std::optional<int> startMonth = archiveStartMonth(connection.database(), error);
    if (!startMonth)
        return false;
    QSqlQuery query = connection.query();
    // Dates the engine does not read as dates are the value rules' finding, not a year.
    if (!runSql(query,
                u"SELECT MIN(data), MAX(data) FROM regmain WHERE "_s +
                    calendarDate(connection.database()),
                {}, error))
        return false;
    if (!query.next() || query.value(0).isNull())
        return true;
    const QDate last = dateFromIso(query.value(1).toString());
    for (FiscalYear year =
             fiscalYearContaining(dateFromIso(query.value(0).toString()), *startMonth);
         year.start <= last; year = fiscalYearContaining(year.end.addDays(1), *startMonth)) {
        FiscalYearCheck check;
        if (!readFiscalYear(connection, year, fromTotals, &check, error))
            return false;
        years->append(check);
    }
    return true;
}

QJsonArray idsToJson(const QList<qint64> &ids)
{
    QJsonArray array;
    for (qint64 id : ids)
        array.append(id);
    return array;
}

} // namespace

bool ArchiveCheck::sound() const
{
    return progressiviAllineati && integrity.isEmpty() && foreignKeys.isEmpty() &&
           unbalanced.isEmpty() && withoutRows.isEmpty() && invalidValues.isEmpty() &&
           monthlyTotals.isEmpty() && foreignObjects.isEmpty() &&
           std::all_of(fiscalYears.cbegin(), fiscalYears.cend(),
                       [](const FiscalYearCheck &year) { return year.sound(); });
}

QStringList ArchiveCheck::problemLines() const
{
    // A long list shows its first ids and how many there are: the JSON has them all.
    const auto ids = [](const QList<qint64> &list) {
        constexpr qsizetype Shown = 10;
        QStringList texts;
        for (qint64 id : list.first(std::min(Shown, list.size())))
            texts.append(QString::number(id));
        QString text = texts.join(u", "_s);
        if (list.size() > Shown)
            text += u" … (%1 in tutto)"_s.arg(list.size());
        return text;
    };
    QStringList lines;
    if (!integrity.isEmpty())
        lines.append(u"Il file dell'archivio è danneggiato: "_s + integrity.join(u"; "_s));
    if (!foreignKeys.isEmpty())
        lines.append(u"Righe che rimandano a dati inesistenti: %1"_s.arg(foreignKeys.size()));
    if (!unbalanced.isEmpty())
        lines.append(u"Registrazioni sbilanciate (id): "_s + ids(unbalanced));
    if (!withoutRows.isEmpty())
        lines.append(u"Registrazioni senza righe (id): "_s + ids(withoutRows));
    if (!progressiviAllineati)
        lines.append(u"I numeri delle registrazioni dell'esercizio non sono in ordine: eseguire "
                     u"Strumenti → Ricalcolo progressivi."_s);
    if (!invalidValues.isEmpty())
        lines.append(u"Valori non ammessi nelle tabelle: %1"_s.arg(invalidValues.size()));
    if (!monthlyTotals.isEmpty())
        lines.append(
            u"Totali mensili non allineati alle registrazioni: %1"_s.arg(monthlyTotals.size()));
    if (!foreignObjects.isEmpty())
        lines.append(foreignObjectsRefusal(foreignObjects));
    for (const FiscalYearCheck &year : fiscalYears) {
        const QString name = u"Esercizio "_s + shownPeriod(year.dal, year.al);
        if (!year.afterClosing.isEmpty())
            lines.append(name + u": registrazioni scritte dopo la chiusura (id): "_s +
                         ids(year.afterClosing));
        if (!year.openingMismatch.isEmpty())
            lines.append(name +
                         u": l'apertura dell'esercizio successivo non corrisponde alla "
                         u"chiusura per i sottoconti (id): "_s +
                         ids(year.openingMismatch));
    }
    return lines;
}

QJsonObject ArchiveCheck::toJson() const
{
    QJsonArray foreign;
    for (const ForeignKeyProblem &problem : foreignKeys)
        foreign.append(QJsonObject{{u"table"_s, problem.table},
                                   {u"rowid"_s, problem.rowid},
                                   {u"parent"_s, problem.parent}});
    QJsonArray values;
    for (const InvalidValue &value : invalidValues)
        values.append(QJsonObject{{u"table"_s, value.table},
                                  {u"id"_s, value.id},
                                  {u"column"_s, value.column},
                                  {u"value"_s, QJsonValue::fromVariant(value.value)}});
    QJsonArray drift;
    for (const MonthlyTotalDrift &month : monthlyTotals)
        drift.append(QJsonObject{{u"conto"_s, month.subAccountId},
                                 {u"mese"_s, month.month},
                                 {u"tipo"_s, month.entryType}});
    QJsonArray years;
    for (const FiscalYearCheck &year : fiscalYears)
        years.append(QJsonObject{{u"dal"_s, isoDate(year.dal)},
                                 {u"al"_s, isoDate(year.al)},
                                 {u"closed"_s, year.closed},
                                 {u"afterClosing"_s, idsToJson(year.afterClosing)},
                                 {u"openingMismatch"_s, idsToJson(year.openingMismatch)}});
    QJsonArray foreignSchema;
    for (const SchemaObject &object : foreignObjects)
        foreignSchema.append(QJsonObject{{u"type"_s, object.type}, {u"name"_s, object.name}});
    QJsonArray tolerated;
    for (const SchemaObject &object : toleratedObjects)
        tolerated.append(QJsonObject{{u"type"_s, object.type}, {u"name"_s, object.name}});
    const QJsonValue integrityValue =
        !fileChecked          ? QJsonValue(u"non verificata: il server controlla i propri file"_s)
        : integrity.isEmpty() ? QJsonValue(u"ok"_s)
                              : QJsonValue(QJsonArray::fromStringList(integrity));
    return {{u"progressiviAllineati"_s, progressiviAllineati},
            {u"integrity"_s, integrityValue},
            {u"foreignKeys"_s, foreign},
            {u"unbalanced"_s, idsToJson(unbalanced)},
            {u"withoutRows"_s, idsToJson(withoutRows)},
            {u"invalidValues"_s, values},
            {u"monthlyTotals"_s, drift},
            {u"foreignObjects"_s, foreignSchema},
            {u"toleratedObjects"_s, tolerated},
            {u"esercizi"_s, years}};
}

std::optional<ArchiveCheck> checkArchive(const Archive &archive, const QDate &first,
                                         const QDate &last, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.isOpen()) {
        *error = connection.errorText();
        return std::nullopt;
    }
    ArchiveCheck check;
    const QVariantList year{isoDate(first), isoDate(last)};
    check.fileChecked = !isServer(connection.database());
    if ((check.fileChecked && (!readIntegrity(connection, &check.integrity, error) ||
                               !readForeignKeys(connection, &check.foreignKeys, error))) ||
        !readIds(connection,
                 u"SELECT regmain.id FROM regmain JOIN regdet ON regdet.idRegMain = regmain.id "
                 u"WHERE regmain.data BETWEEN ? AND ? GROUP BY regmain.id "
                 u"HAVING SUM("_s +
                     debitAmountSql(u"regdet"_s) + u") <> SUM("_s + creditAmountSql(u"regdet"_s) +
                     u") ORDER BY regmain.id"_s,
                 year, &check.unbalanced, error) ||
        !readIds(connection,
                 u"SELECT id FROM regmain WHERE data BETWEEN ? AND ? AND NOT EXISTS "
                 u"(SELECT 1 FROM regdet WHERE regdet.idRegMain = regmain.id) ORDER BY id"_s,
                 year, &check.withoutRows, error) ||
        !readInvalidValues(connection, &check.invalidValues, error) ||
        !readMonthlyTotalsDrift(connection, &check.monthlyTotals, error) ||
        !readFiscalYears(connection,
                         hasMonthlyTotals(connection.database()) && check.monthlyTotals.isEmpty(),
                         &check.fiscalYears, error))
        return std::nullopt;
    std::optional<OtherSchemaObjects> others = otherSchemaObjects(connection.database(), error);
    if (!others)
        return std::nullopt;
    check.foreignObjects = std::move(others->foreign);
    check.toleratedObjects = std::move(others->tolerated);
    const std::optional<bool> misaligned = numberingBroken(connection, first, last, error);
    if (!misaligned)
        return std::nullopt;
    check.progressiviAllineati = !*misaligned;
    return check;
}

bool repairArchive(const Archive &archive, QString *backup, QString *error)
{
    *backup = backupArchive(archive, u"riparazione"_s, error);
    return !backup->isEmpty() && inTransaction(
                                     archive,
                                     [](const Connection &connection, QString *failure) {
                                         return restoreProgramSchemaObjects(connection, failure) &&
                                                rebuildMonthlyTotals(connection, failure);
                                     },
                                     error);
}
