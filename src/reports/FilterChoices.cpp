#include "reports/FilterChoices.h"

#include "data/Database.h"

using namespace Qt::StringLiterals;

QList<FilterChoice> filterChoices(const Archive &archive, FilterLevel level, QString *error)
{
    QList<FilterChoice> choices = {{0, u"(nessun filtro)"_s}};
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.isOpen()) {
        if (error)
            *error = connection.errorText();
        return choices;
    }
    QSqlQuery query = connection.query();
    const QString sql =
        level == FilterLevel::Sottoconto
            ? u"SELECT id, descrizione FROM sottoconti ORDER BY italiano(descrizione), id"_s
            : u"SELECT id, descrizione FROM conti ORDER BY italiano(descrizione), id"_s;
    if (!runSql(query, sql, {}, error))
        return choices;
    while (query.next())
        choices.append({query.value(0).toLongLong(), query.value(1).toString()});
    return choices;
}
