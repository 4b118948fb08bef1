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

Renumbering::Renumbering(const Archive &archive, const QDate &yearStart, const QDate &yearEnd,
                         QObject *parent)
    : QObject(parent), m_archive(archive), m_yearStart(yearStart), m_yearEnd(yearEnd)
{
}

bool renumber(const Archive &archive, const QList<FiscalYear> &years, QString *error)
{
    if (backupArchive(archive, u"rinumerazione"_s, error).isEmpty())
        return false;
    return inTransaction(
        archive,
        [&years](const Connection &connection, QString *failure) {
            JournalGate gate(connection);
            // Headers left without rows go whatever their year.
            if (!gate.removeHeadersWithoutRows(QDate(1, 1, 1), QDate(9999, 12, 31), failure))
                return false;
            for (const FiscalYear &year : years) {
                if (!gate.renumber(year.start, year.end, failure))
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
        years.append({m_yearStart, m_yearEnd, {}});
    if (period == Previous || period == Both)
        years.append(fiscalYearBefore(m_yearStart));
    QString error;
    const bool ok = renumber(m_archive, years, &error);
    if (ok)
        emit done();
    else
        emit failed(error);
    return ok;
}
