#include "data/ClosedYears.h"

#include "data/FinalPrints.h"
#include "data/SqlText.h"

using namespace Qt::StringLiterals;

std::optional<int> archiveStartMonth(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT valore FROM parametri WHERE chiave = 'StartMonth'"_s, {}, error))
        return std::nullopt;
    const QString text = query.next() ? query.value(0).toString().trimmed() : QString();
    if (text.isEmpty())
        return 1;
    bool numeric = false;
    const int month = text.toInt(&numeric);
    if (!numeric || month < 1 || month > 12) {
        *error = u"Mese di inizio degli esercizi non valido: %1"_s.arg(text);
        return std::nullopt;
    }
    return month;
}

std::optional<FiscalYear> archiveYearContaining(const QSqlDatabase &database, const QDate &date,
                                                QString *error)
{
    const std::optional<int> startMonth = archiveStartMonth(database, error);
    if (!startMonth)
        return std::nullopt;
    return fiscalYearContaining(date, *startMonth);
}

std::optional<bool> holdsEntriesOfType(const QSqlDatabase &database, const FiscalYear &year,
                                       EntryKind kind, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT 1 FROM regmain WHERE tipo = ? AND data BETWEEN ? AND ? LIMIT 1"_s,
                {storedKind(kind), isoDate(year.start), isoDate(year.end)}, error))
        return std::nullopt;
    return query.next();
}

QString shownPeriod(const QDate &start, const QDate &end)
{
    return u"dal %1 al %2"_s.arg(start.toString(u"dd/MM/yyyy"_s), end.toString(u"dd/MM/yyyy"_s));
}

QString closedYearMessage(const FiscalYear &year)
{
    return u"L'esercizio %1 è chiuso. Per modificarlo, riaprirlo con Strumenti → Riapri "
           u"esercizio."_s.arg(shownPeriod(year.start, year.end));
}

QString closedDateRefusal(const QSqlDatabase &database, const QDate &date, QString *error)
{
    if (!date.isValid())
        return {};
    const std::optional<FiscalYear> year = archiveYearContaining(database, date, error);
    if (!year)
        return {};
    const std::optional<bool> closed =
        holdsEntriesOfType(database, *year, EntryKind::Closing, error);
    return closed.value_or(false) ? closedYearMessage(*year) : QString();
}

QString closedEntryRefusal(const QSqlDatabase &database, qint64 entryId, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT data FROM regmain WHERE id = ?"_s, {entryId}, error) ||
        !query.next())
        return {};
    return closedDateRefusal(database, dateFromIso(query.value(0).toString()), error);
}

QString frozenDateRefusal(const QSqlDatabase &database, const QDate &date, QString *error)
{
    const QString printed = lockedDateRefusal(database, date, error);
    if (!printed.isEmpty() || !error->isEmpty())
        return printed;
    return closedDateRefusal(database, date, error);
}

QString frozenEntryRefusal(const QSqlDatabase &database, qint64 entryId, QString *error)
{
    const QString printed = lockedEntryRefusal(database, entryId, error);
    if (!printed.isEmpty() || !error->isEmpty())
        return printed;
    return closedEntryRefusal(database, entryId, error);
}
