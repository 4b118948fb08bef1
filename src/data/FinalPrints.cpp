#include "data/FinalPrints.h"

#include "data/Backup.h"
#include "data/Catalogue.h"
#include "data/EngineDialect.h"
#include "data/Failure.h"
#include "data/JournalEntry.h"
#include "data/SqlText.h"

#include <QCryptographicHash>

using namespace Qt::StringLiterals;

namespace {

// The columns added to the table after its first version, with their types.
const std::pair<QString, QString> AddedColumns[] = {{u"pagina_al"_s, u"INTEGER"_s},
                                                    {u"file"_s, u"TEXT"_s}};

// The record's columns; an archive only read since pages and files were kept has NULL for them.
QString printColumns(const QSqlDatabase &database)
{
    const QStringList present = tableColumns(database, finalPrintsTable());
    QString columns = u"id, inizio_esercizio, fine_esercizio, dal, al, foglio_dal, foglio_al, "
                      u"riga_dal, riga_al, dare, avere, stampata_il, impronta"_s;
    for (const auto &[name, type] : AddedColumns)
        columns += present.contains(name) ? u", "_s + name : u", NULL"_s;
    return columns;
}

FinalPrint printOf(const QSqlQuery &query)
{
    FinalPrint print;
    print.id = query.value(0).toLongLong();
    print.yearStart = dateFromIso(query.value(1).toString());
    print.yearEnd = dateFromIso(query.value(2).toString());
    print.dateFrom = dateFromIso(query.value(3).toString());
    print.dateTo = dateFromIso(query.value(4).toString());
    print.firstSheet = query.value(5).toInt();
    print.lastSheet = query.value(6).toInt();
    print.firstRow = query.value(7).toLongLong();
    print.lastRow = query.value(8).toLongLong();
    print.debit = Money::fromUnits(query.value(9).toLongLong());
    print.credit = Money::fromUnits(query.value(10).toLongLong());
    print.printedAt = QDateTime::fromString(query.value(11).toString(), Qt::ISODate);
    print.hash = query.value(12).toString();
    // A record written before pages were kept: the year's sheets and pages both start at 1.
    print.lastPage = query.value(13).isNull() ? print.lastSheet : query.value(13).toInt();
    print.file = query.value(14).toString();
    return print;
}

// The last final print of the year, or nothing (with *error empty) when there is none.
std::optional<FinalPrint> lastPrintOf(const QSqlDatabase &database, const FiscalYear &year,
                                      QString *error)
{
    if (!hasFinalPrints(database))
        return std::nullopt;
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT "_s + printColumns(database) +
                    u" FROM stampe_definitive WHERE inizio_esercizio = ? "
                    u"ORDER BY al DESC LIMIT 1"_s,
                {isoDate(year.start)}, error) ||
        !query.next())
        return std::nullopt;
    return printOf(query);
}

FinalPrintStart startAfter(const FiscalYear &year, const std::optional<FinalPrint> &last)
{
    FinalPrintStart start;
    start.dateFrom = year.start;
    if (!last)
        return start;
    start.dateFrom = last->dateTo.addDays(1);
    start.firstSheet = last->lastSheet + 1;
    start.firstPage = last->lastPage + 1;
    start.firstRow = last->lastRow + 1;
    start.carriedDebit = last->debit;
    start.carriedCredit = last->credit;
    start.continues = true;
    return start;
}

} // namespace

QString lockedEntryMessage()
{
    return u"Registrazione già stampata in definitiva sul libro giornale."_s;
}

QString finalPrintsTable()
{
    return u"stampe_definitive"_s;
}

const QStringList &finalPrintsSchema()
{
    // Amounts in ten-thousandths like every amount of the archive; dates ISO text.
    static const QStringList statements{
        uR"(CREATE TABLE stampe_definitive (
    id               INTEGER PRIMARY KEY AUTOINCREMENT,
    inizio_esercizio TEXT NOT NULL,
    fine_esercizio   TEXT NOT NULL,
    dal              TEXT NOT NULL,
    al               TEXT NOT NULL,
    foglio_dal       INTEGER NOT NULL,
    foglio_al        INTEGER NOT NULL,
    riga_dal         INTEGER NOT NULL,
    riga_al          INTEGER NOT NULL,
    dare             INTEGER NOT NULL,
    avere            INTEGER NOT NULL,
    stampata_il      TEXT NOT NULL,
    impronta         TEXT NOT NULL,
    pagina_al        INTEGER,
    file             TEXT,
    CHECK (inizio_esercizio <= dal AND dal <= al AND al <= fine_esercizio),
    CHECK (foglio_dal >= 1 AND foglio_al >= foglio_dal),
    CHECK (riga_dal >= 1 AND riga_al >= riga_dal - 1),
    UNIQUE (inizio_esercizio, al)
))"_s,
    };
    return statements;
}

bool hasFinalPrints(const QSqlDatabase &database)
{
    return schemaObjectExists(database, u"table"_s, finalPrintsTable()).value_or(false);
}

bool ensureFinalPrints(const Connection &connection, QString *error)
{
    QSqlQuery query = connection.query();
    if (hasFinalPrints(connection.database())) {
        // A table made before pages and files were kept gets their columns.
        QString failure;
        const QStringList present =
            tableColumns(connection.database(), finalPrintsTable(), &failure);
        if (!failure.isEmpty())
            return fail(error, failure);
        for (const auto &[name, type] : AddedColumns)
            if (!present.contains(name) &&
                !runSql(query, u"ALTER TABLE stampe_definitive ADD COLUMN %1 %2"_s.arg(name, type),
                        {}, error))
                return false;
        return true;
    }
    for (const QString &statement : finalPrintsSchema())
        if (!runDefinition(query, statement, error))
            return false;
    return true;
}

std::optional<PeriodTotals> periodTotals(const QSqlDatabase &database, const QDate &dateFrom,
                                         const QDate &dateTo, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT COUNT(*), COALESCE(SUM("_s + debitAmountSql(u"regdet"_s) +
                    u"), 0), COALESCE(SUM("_s + creditAmountSql(u"regdet"_s) +
                    u"), 0)"
                    u" FROM regmain INNER JOIN regdet ON regdet.idRegMain = regmain.id"
                    u" WHERE regmain.data BETWEEN ? AND ?"_s,
                {isoDate(dateFrom), isoDate(dateTo)}, error) ||
        !query.next())
        return std::nullopt;
    PeriodTotals totals{query.value(0).toLongLong(),
                        Money::fromUnits(query.value(1).toLongLong()),
                        Money::fromUnits(query.value(2).toLongLong()),
                        {}};
    QSqlQuery rows(database);
    rows.setForwardOnly(true);
    if (!runSql(rows,
                u"SELECT rm.id, rm.data, rm.progressivo, rm.tipo, rm.descrizione, rd.id, rd.riga,"
                u" rd.contodare, d.descrizione, rd.contoavere, a.descrizione, rd.importo,"
                u" rd.descrizione"
                u" FROM regmain rm JOIN regdet rd ON rd.idRegMain = rm.id"
                u" LEFT JOIN sottoconti d ON d.id = rd.contodare"
                u" LEFT JOIN sottoconti a ON a.id = rd.contoavere"
                u" WHERE rm.data BETWEEN ? AND ? ORDER BY rm.data, rm.id, rd.riga, rd.id"_s,
                {isoDate(dateFrom), isoDate(dateTo)}, error))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (rows.next())
        for (int column = 0; column < 13; ++column) {
            const QVariant value = rows.value(column);
            hash.addData(value.isNull() ? QByteArrayView("\x01") : QByteArrayView("\x02"));
            hash.addData(value.toString().toUtf8());
            hash.addData(QByteArrayView("\x00", 1));
        }
    totals.fingerprint = hash.result();
    return totals;
}

std::optional<QList<FinalPrint>> finalPrintsOf(const QSqlDatabase &database, const FiscalYear &year,
                                               QString *error)
{
    QList<FinalPrint> prints;
    if (!hasFinalPrints(database))
        return prints;
    QSqlQuery query(database);
    // Every year's prints when year has no start.
    if (!runSql(query,
                u"SELECT "_s + printColumns(database) +
                    u" FROM stampe_definitive WHERE CAST(? AS TEXT) IS NULL OR inizio_esercizio = ?"
                    u" ORDER BY inizio_esercizio, al"_s,
                {isoDate(year.start), isoDate(year.start)}, error))
        return std::nullopt;
    while (query.next())
        prints.append(printOf(query));
    return prints;
}

std::optional<FinalPrintStart> nextFinalPrint(const QSqlDatabase &database, const FiscalYear &year,
                                              QString *error)
{
    QString failure;
    const std::optional<FinalPrint> last = lastPrintOf(database, year, &failure);
    if (!failure.isEmpty()) {
        fail(error, failure);
        return std::nullopt;
    }
    return startAfter(year, last);
}

std::optional<QDate> lockedUntil(const QSqlDatabase &database, const QDate &date, QString *error)
{
    if (!hasFinalPrints(database))
        return std::nullopt;
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT MAX(al) FROM stampe_definitive "
                u"WHERE ? BETWEEN inizio_esercizio AND fine_esercizio"_s,
                {isoDate(date)}, error) ||
        !query.next() || query.value(0).isNull())
        return std::nullopt;
    return dateFromIso(query.value(0).toString());
}

QString lockedDateRefusal(const std::optional<QDate> &until, const QDate &date)
{
    return until && date <= *until ? lockedEntryMessage() : QString();
}

QString lockedDateRefusal(const QSqlDatabase &database, const QDate &date, QString *error)
{
    return lockedDateRefusal(lockedUntil(database, date, error), date);
}

QString lockedEntryRefusal(const QSqlDatabase &database, qint64 entryId, QString *error)
{
    if (!hasFinalPrints(database))
        return {};
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT data FROM regmain WHERE id = ?"_s, {entryId}, error) ||
        !query.next())
        return {};
    return lockedDateRefusal(database, dateFromIso(query.value(0).toString()), error);
}

FinalPrint finalPrintOf(const FiscalYear &year, const FinalPrintStart &start, const QDate &dateTo,
                        const PeriodTotals &totals, int pageCount, const QString &hash)
{
    FinalPrint print;
    print.yearStart = year.start;
    print.yearEnd = year.end;
    print.dateFrom = start.dateFrom;
    print.dateTo = dateTo;
    print.firstSheet = start.firstSheet;
    print.lastSheet = start.firstSheet + std::max(1, pageCount) - 1;
    print.lastPage = start.firstPage + std::max(1, pageCount) - 1;
    print.firstRow = start.firstRow;
    print.lastRow = start.firstRow + totals.rows - 1;
    print.debit = start.carriedDebit + totals.debit;
    print.credit = start.carriedCredit + totals.credit;
    print.hash = hash;
    return print;
}

bool recordFinalPrint(const Archive &archive, FinalPrint &print, const QByteArray &fingerprint,
                      QString *error)
{
    if (backupArchive(archive, u"stampa-definitiva"_s, error).isEmpty())
        return false;
    const FiscalYear year{print.yearStart, print.yearEnd, {}};
    FinalPrint recorded = print;
    // Whole seconds, as the record keeps them.
    const QDateTime now = QDateTime::currentDateTime();
    recorded.printedAt =
        QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    const bool ok = inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            const QSqlDatabase database = connection.database();
            if (!ensureFinalPrints(connection, failure))
                return false;
            const std::optional<FinalPrintStart> start = nextFinalPrint(database, year, failure);
            if (!start)
                return false;
            const std::optional<PeriodTotals> totals =
                periodTotals(database, recorded.dateFrom, recorded.dateTo, failure);
            if (!totals)
                return false;
            // Another user may have printed or written entries since the run was laid out.
            if (start->dateFrom != recorded.dateFrom || start->firstSheet != recorded.firstSheet ||
                start->firstRow != recorded.firstRow ||
                start->carriedDebit + totals->debit != recorded.debit ||
                start->carriedCredit + totals->credit != recorded.credit ||
                start->firstRow + totals->rows - 1 != recorded.lastRow ||
                totals->fingerprint != fingerprint)
                return fail(failure, u"L'archivio è stato modificato durante la stampa: la stampa "
                                     u"definitiva non è stata registrata. Ripetere la stampa."_s);
            QSqlQuery query = connection.query();
            if (!runSql(query,
                        u"INSERT INTO stampe_definitive (inizio_esercizio, fine_esercizio, dal, "
                        u"al, foglio_dal, foglio_al, riga_dal, riga_al, dare, avere, "
                        u"stampata_il, impronta, pagina_al, file) "
                        u"VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s,
                        {isoDate(recorded.yearStart), isoDate(recorded.yearEnd),
                         isoDate(recorded.dateFrom), isoDate(recorded.dateTo), recorded.firstSheet,
                         recorded.lastSheet, recorded.firstRow, recorded.lastRow,
                         recorded.debit.units(), recorded.credit.units(),
                         recorded.printedAt.toString(Qt::ISODate), recorded.hash, recorded.lastPage,
                         recorded.file.isEmpty() ? QVariant() : QVariant(recorded.file)},
                        failure))
                return false;
            recorded.id = query.lastInsertId().toLongLong();
            return true;
        },
        error, WriteScope::WholeArchive);
    if (ok)
        print = recorded;
    return ok;
}

bool undoLastFinalPrint(const Archive &archive, const FiscalYear &year, qint64 printId,
                        QString *error)
{
    if (backupArchive(archive, u"annullo-stampa"_s, error).isEmpty())
        return false;
    return inTransaction(
        archive,
        [&year, printId](const Connection &connection, QString *failure) {
            QString readFailure;
            const std::optional<FinalPrint> last =
                lastPrintOf(connection.database(), year, &readFailure);
            if (!last)
                return fail(failure, readFailure.isEmpty()
                                         ? u"Nessuna stampa definitiva da annullare "
                                           u"nell'esercizio."_s
                                         : readFailure);
            if (last->id != printId)
                return fail(failure, u"Nel frattempo è stata registrata un'altra stampa "
                                     u"definitiva: l'annullamento non è stato eseguito."_s);
            QSqlQuery query = connection.query();
            return runSql(query, u"DELETE FROM stampe_definitive WHERE id = ?"_s, {last->id},
                          failure);
        },
        error, WriteScope::WholeArchive);
}
