#include "data/Renumbering.h"

#include "data/SqlText.h"

using namespace Qt::StringLiterals;

bool ProgressiviDisallineati(const Archive &archive, const QDate &first, const QDate &last,
                             QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return false;
    // A year is numbered right exactly when every number equals the entry's rank.
    QSqlQuery query = connection.query();
    if (!runSql(
            query,
            u"SELECT 1 FROM (SELECT progressivo, ROW_NUMBER() OVER (ORDER BY data, id) AS rango "
            u"FROM regmain WHERE data BETWEEN ? AND ?) numerate "
            u"WHERE progressivo IS NULL OR progressivo <> rango LIMIT 1"_s,
            {isoDate(first), isoDate(last)}, error))
        return false;
    return query.next();
}

bool deleteOrphanHeaders(const Connection &connection, QString *error)
{
    QSqlQuery query = connection.query();
    return runSql(query,
                  u"DELETE FROM regmain WHERE NOT EXISTS "
                  u"(SELECT 1 FROM regdet WHERE regdet.idRegMain = regmain.id)"_s,
                  {}, error);
}

bool renumberEntries(const Connection &connection, const QDate &first, const QDate &last,
                     QString *error)
{
    QSqlQuery query = connection.query();
    return runSql(query,
                  u"UPDATE regmain SET progressivo = numerate.rango "
                  u"FROM (SELECT id, ROW_NUMBER() OVER (ORDER BY data, id) AS rango "
                  u"FROM regmain WHERE data BETWEEN ? AND ?) numerate "
                  u"WHERE regmain.id = numerate.id "
                  u"AND (regmain.progressivo IS NULL OR regmain.progressivo <> numerate.rango)"_s,
                  {isoDate(first), isoDate(last)}, error);
}

clsRicalcolo::clsRicalcolo(const Archive &archive, const QDate &eseDate1, const QDate &eseDate2,
                           QObject *parent)
    : QObject(parent), m_archive(archive), m_eseDate1(eseDate1), m_eseDate2(eseDate2)
{
}

bool clsRicalcolo::esegui(int periodo)
{
    const bool current = periodo == Corrente || periodo == Entrambi;
    const bool previous = periodo == Precedente || periodo == Entrambi;
    QString error;
    const bool ok = inTransaction(
        m_archive,
        [&](const Connection &connection, QString *failure) {
            return deleteOrphanHeaders(connection, failure) &&
                   (!current || renumberEntries(connection, m_eseDate1, m_eseDate2, failure)) &&
                   (!previous || renumberEntries(connection, m_eseDate1.addYears(-1),
                                                 m_eseDate2.addYears(-1), failure));
        },
        &error);
    if (ok)
        emit done();
    else
        emit failed(error);
    return ok;
}
