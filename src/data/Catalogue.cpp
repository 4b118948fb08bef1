#include "data/Catalogue.h"

#include "data/Database.h"
#include "data/EngineDialect.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

std::optional<bool> schemaObjectExists(const QSqlDatabase &database, const QString &type,
                                       const QString &name, QString *error)
{
    QSqlQuery query(database);
    const SqlStatement exists = dialectOf(database).objectExists(type, name);
    if (!runSql(query, exists.sql, exists.values, error))
        return std::nullopt;
    return query.next();
}

std::optional<QStringList> schemaTriggers(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, dialectOf(database).triggerNames(), {}, error))
        return std::nullopt;
    QStringList names;
    while (query.next())
        names.append(query.value(0).toString());
    return names;
}

QStringList tableColumns(const QSqlDatabase &database, const QString &table, QString *error)
{
    QSqlQuery query(database);
    QStringList columns;
    const SqlStatement columnNames = dialectOf(database).tableColumns(table);
    if (runSql(query, columnNames.sql, columnNames.values, error))
        while (query.next())
            columns.append(query.value(0).toString());
    return columns;
}

std::optional<int> declaredTextLength(const QSqlDatabase &database, const QString &table,
                                      const QString &column)
{
    QSqlQuery query(database);
    const SqlStatement type = dialectOf(database).columnType(table, column);
    if (!runSql(query, type.sql, type.values) || !query.next())
        return std::nullopt;
    static const QRegularExpression declared(u"\\(\\s*(\\d+)\\s*\\)"_s);
    const QRegularExpressionMatch match = declared.match(query.value(0).toString());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}
