#include "data/EngineDialect.h"

#include "data/Database.h"

#include <QSqlDriver>

using namespace Qt::StringLiterals;

namespace {

bool runLock(const QSqlDatabase &database, const std::optional<SqlStatement> &lock, QString *error)
{
    QSqlQuery query(database);
    return !lock || runSql(query, lock->sql, lock->values, error);
}

} // namespace

const EngineDialect &dialectFor(Engine engine)
{
    return engine == Engine::Postgres ? serverDialect() : fileDialect();
}

const EngineDialect &dialectOf(const QSqlDatabase &database)
{
    return dialectFor(engineOf(database));
}

Engine engineOf(const QSqlDatabase &database)
{
    return database.driverName() == u"QPSQL"_s ? Engine::Postgres : Engine::Sqlite;
}

bool runDefinition(QSqlQuery &query, const QString &statement, QString *error)
{
    const bool server = query.driver() && query.driver()->dbmsType() == QSqlDriver::PostgreSQL;
    return runSql(query,
                  dialectFor(server ? Engine::Postgres : Engine::Sqlite).definition(statement), {},
                  error);
}

bool runStatements(const QSqlDatabase &database, const QStringList &statements, QString *error)
{
    QSqlQuery query(database);
    for (const QString &statement : statements)
        if (!runSql(query, statement, {}, error))
            return false;
    return true;
}

bool lockArchiveShared(const QSqlDatabase &database, QString *error)
{
    return runLock(database, dialectOf(database).archiveLock(false), error);
}

bool lockWholeArchive(const QSqlDatabase &database, QString *error)
{
    return runLock(database, dialectOf(database).archiveLock(true), error);
}

bool lockFiscalYear(const QSqlDatabase &database, int year, QString *error)
{
    return runLock(database, dialectOf(database).fiscalYearLock(year), error);
}

bool lockBankStatements(const QSqlDatabase &database, qint64 bank, QString *error)
{
    return runLock(database, dialectOf(database).bankStatementsLock(bank), error);
}

std::optional<bool> databaseIsEmpty(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, dialectOf(database).tableCount(), {}, error) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong() == 0;
}

std::optional<qint64> highestIdGiven(const QSqlDatabase &database, const QString &table)
{
    QSqlQuery query(database);
    const SqlStatement highest = dialectOf(database).highestIdGiven(table);
    if (!runSql(query, highest.sql, highest.values) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

bool setHighestIdGiven(const QSqlDatabase &database, const QString &table, qint64 id,
                       QString *error)
{
    QSqlQuery query(database);
    for (const SqlStatement &statement : dialectOf(database).setHighestIdGiven(table, id))
        if (!runSql(query, statement.sql, statement.values, error))
            return false;
    return true;
}

std::optional<QList<qint64>> reserveIds(const QSqlDatabase &database, const QString &table,
                                        int count, QString *error)
{
    QList<qint64> ids;
    if (count <= 0)
        return ids;
    QSqlQuery query(database);
    const SqlStatement reserve = dialectOf(database).reserveIds(table, count);
    if (!runSql(query, reserve.sql, reserve.values, error))
        return std::nullopt;
    ids.reserve(count);
    while (query.next())
        ids.append(query.value(0).toLongLong());
    return ids;
}

bool keepIdsPast(const QSqlDatabase &database, const QString &table, qint64 id, QString *error)
{
    if (dialectOf(database).idsFollowRows())
        return true;
    const std::optional<qint64> given = highestIdGiven(database, table);
    return given && (*given >= id || setHighestIdGiven(database, table, id, error));
}

bool keepIdsAheadOfRows(const QSqlDatabase &database, QString *error)
{
    const EngineDialect &dialect = dialectOf(database);
    if (dialect.idsFollowRows())
        return true;
    QSqlQuery tables(database);
    if (!runSql(tables, dialect.tablesWithIds(), {}, error))
        return false;
    QStringList names;
    while (tables.next())
        names.append(tables.value(0).toString());
    QSqlQuery top(database);
    for (const QString &table : names) {
        // Names come from the engine's catalogue, quoted as identifiers; never values.
        const QString quoted = database.driver()->escapeIdentifier(table, QSqlDriver::TableName);
        if (!runSql(top, u"SELECT COALESCE(MAX(id), 0) FROM "_s + quoted, {}, error) || !top.next())
            return false;
        if (!keepIdsPast(database, table, top.value(0).toLongLong(), error))
            return false;
    }
    return true;
}
