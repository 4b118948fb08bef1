#include "data/Renumbering.h"

#include "data/Backup.h"

#include "data/FinalPrints.h"
#include "data/FiscalEnvironment.h"
#include "data/SqlText.h"

using namespace Qt::StringLiterals;

bool numberingBroken(const Archive &archive, const QDate &first, const QDate &last, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return false;
    return numberingBroken(connection, first, last, error).value_or(false);
}

std::optional<bool> numberingBroken(const Connection &connection, const QDate &first,
                                    const QDate &last, QString *error)
{
    // A year is numbered right exactly when every number equals the entry's rank.
    QSqlQuery query = connection.query();
    if (!runSql(
            query,
            u"SELECT 1 FROM (SELECT progressivo, ROW_NUMBER() OVER (ORDER BY data, id) AS rango "
            u"FROM regmain WHERE data BETWEEN ? AND ?) numerate "
            u"WHERE progressivo IS NULL OR progressivo <> rango LIMIT 1"_s,
            {isoDate(first), isoDate(last)}, error))
        return std::nullopt;
    return query.next();
}

namespace {

// Whether numbering the entries dated first..last would change an entry printed in definitiva.
std::optional<bool> changesLockedEntry(const Connection &connection, const QDate &first,
                                       const QDate &last, QString *error)
{
    QString failure;
    const std::optional<QDate> until = lockedUntil(connection.database(), first, &failure);
    if (!failure.isEmpty()) {
        if (error)
            *error = failure;
        return std::nullopt;
    }
    if (!until)
        return false;
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"SELECT 1 FROM (SELECT data, progressivo, ROW_NUMBER() OVER (ORDER BY data, id) "
                u"AS rango FROM regmain WHERE data BETWEEN ? AND ?) numerate "
                u"WHERE data <= ? AND (progressivo IS NULL OR progressivo <> rango) LIMIT 1"_s,
                {isoDate(first), isoDate(last), isoDate(*until)}, error))
        return std::nullopt;
    return query.next();
}

} // namespace

bool renumberEntries(const Connection &connection, const QDate &first, const QDate &last,
                     QString *error)
{
    const std::optional<bool> locked = changesLockedEntry(connection, first, last, error);
    if (!locked)
        return false;
    if (*locked) {
        if (error)
            *error = u"Il ricalcolo cambierebbe i progressivi di registrazioni già stampate in "
                     u"definitiva sul libro giornale: ricalcolo non eseguito."_s;
        return false;
    }
    QSqlQuery query = connection.query();
    return runSql(query,
                  u"UPDATE regmain SET progressivo = numerate.rango "
                  u"FROM (SELECT id, ROW_NUMBER() OVER (ORDER BY data, id) AS rango "
                  u"FROM regmain WHERE data BETWEEN ? AND ?) numerate "
                  u"WHERE regmain.id = numerate.id "
                  u"AND (regmain.progressivo IS NULL OR regmain.progressivo <> numerate.rango)"_s,
                  {isoDate(first), isoDate(last)}, error);
}

Renumbering::Renumbering(const Archive &archive, const QDate &eseDate1, const QDate &eseDate2,
                         QObject *parent)
    : QObject(parent), m_archive(archive), m_eseDate1(eseDate1), m_eseDate2(eseDate2)
{
}

bool renumber(const Archive &archive, const QList<FiscalYear> &years, QString *error)
{
    if (backupArchive(archive, u"rinumerazione"_s, error).isEmpty())
        return false;
    return inTransaction(
        archive,
        [&years](const Connection &connection, QString *failure) {
            if (!JournalGate(connection).removeHeadersWithoutRows(failure))
                return false;
            for (const FiscalYear &year : years) {
                if (!renumberEntries(connection, year.start, year.end, failure))
                    return false;
            }
            return true;
        },
        error, WriteScope::WholeArchive);
}

bool Renumbering::run(int period)
{
    QList<FiscalYear> years;
    if (period == Current || period == Both)
        years.append({m_eseDate1, m_eseDate2, {}});
    if (period == Previous || period == Both)
        years.append(fiscalYearBefore(m_eseDate1));
    QString error;
    const bool ok = renumber(m_archive, years, &error);
    if (ok)
        emit done();
    else
        emit failed(error);
    return ok;
}
