#include "data/Catalogue.h"

#include "data/Database.h"
#include "data/ServerDialect.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

std::optional<bool> schemaObjectExists(const QSqlDatabase &database, const QString &type,
                                       const QString &name, QString *error)
{
    QSqlQuery query(database);
    const bool found =
        isServer(database)
            ? runSql(query,
                     u"SELECT 1 FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                     u"WHERE n.nspname = 'public' AND lower(c.relname) = lower(?) AND c.relkind = "
                     u"CASE ? WHEN 'table' THEN 'r' WHEN 'index' THEN 'i' WHEN 'view' THEN 'v' END "
                     u"UNION ALL SELECT 1 FROM pg_trigger g JOIN pg_class t ON t.oid = g.tgrelid "
                     u"JOIN pg_namespace n ON n.oid = t.relnamespace WHERE n.nspname = 'public' "
                     u"AND NOT g.tgisinternal AND ? = 'trigger' AND lower(g.tgname) = lower(?)"_s,
                     {name, type, type, name}, error)
            : runSql(query,
                     u"SELECT 1 FROM sqlite_master WHERE type = ? AND lower(name) = lower(?)"_s,
                     {type, name}, error);
    if (!found)
        return std::nullopt;
    return query.next();
}

std::optional<QStringList> schemaTriggers(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    const QString sql = isServer(database)
                            ? u"SELECT g.tgname FROM pg_trigger g JOIN pg_class t ON t.oid = "
                              u"g.tgrelid JOIN pg_namespace n ON n.oid = t.relnamespace "
                              u"WHERE n.nspname = 'public' AND NOT g.tgisinternal"_s
                            : u"SELECT name FROM sqlite_master WHERE type = 'trigger'"_s;
    if (!runSql(query, sql, {}, error))
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
    const QString sql =
        isServer(database)
            ? u"SELECT column_name FROM information_schema.columns WHERE "
              u"table_schema = 'public' AND table_name = ? ORDER BY ordinal_position"_s
            : u"SELECT name FROM pragma_table_info(?)"_s;
    if (runSql(query, sql, {table}, error))
        while (query.next())
            columns.append(query.value(0).toString());
    return columns;
}

std::optional<int> declaredTextLength(const QSqlDatabase &database, const QString &table,
                                      const QString &column)
{
    QSqlQuery query(database);
    if (isServer(database)) {
        if (!runSql(query,
                    u"SELECT character_maximum_length FROM information_schema.columns "
                    u"WHERE table_schema = 'public' AND table_name = lower(?) "
                    u"AND column_name = lower(?) AND character_maximum_length IS NOT NULL"_s,
                    {table, column}) ||
            !query.next())
            return std::nullopt;
        return query.value(0).toInt();
    }
    if (!runSql(query, u"SELECT type FROM pragma_table_info(?) WHERE lower(name) = lower(?)"_s,
                {table, column}) ||
        !query.next())
        return std::nullopt;
    static const QRegularExpression declared(u"\\(\\s*(\\d+)\\s*\\)"_s);
    const QRegularExpressionMatch match = declared.match(query.value(0).toString());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}
