#include "data/Renumbering.h"

#include "data/SqlText.h"

using namespace Qt::StringLiterals;

bool ProgressiviDisallineati(const QDate &first, const QDate &last, QString *error)
{
    Connection connection(StringaConnessione(), Connection::Mode::ReadOnly);
    if (!connection.isOpen()) {
        if (error)
            *error = connection.errorText();
        return false;
    }
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

clsRicalcolo::clsRicalcolo(const QDate &eseDate1, const QDate &eseDate2, QObject *parent)
    : QObject(parent), m_eseDate1(eseDate1), m_eseDate2(eseDate2)
{
}

bool renumber(const Archive &archive, const QList<FiscalYear> &years, QString *error)
{
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
        error);
}

bool clsRicalcolo::esegui(int periodo)
{
    const FiscalYear current{m_eseDate1, m_eseDate2, {}};
    const FiscalYear previous{m_eseDate1.addYears(-1), m_eseDate2.addYears(-1), {}};
    QList<FiscalYear> years;
    if (periodo == Corrente || periodo == Entrambi)
        years.append(current);
    if (periodo == Precedente || periodo == Entrambi)
        years.append(previous);
    QString error;
    const bool ok = renumber(Archive::ofDatabase(StringaConnessione()), years, &error);
    if (ok)
        emit done();
    else
        emit failed(error);
    return ok;
}
