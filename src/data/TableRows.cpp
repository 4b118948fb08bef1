#include "data/TableRows.h"

#include "data/EngineDialect.h"

#include <QSqlDriver>

using namespace Qt::StringLiterals;

namespace {

QString keyCondition(const Connection &connection, const QStringList &keyColumns)
{
    QStringList parts;
    for (const QString &column : keyColumns)
        parts.append(quotedIdentifier(connection, column) + u" = ?"_s);
    return parts.join(u" AND "_s);
}

} // namespace

QString quotedIdentifier(const Connection &connection, const QString &identifier)
{
    const QSqlDatabase database = connection.database();
    return database.driver()->escapeIdentifier(dialectOf(database).storedName(identifier),
                                               QSqlDriver::FieldName);
}

bool insertTableRow(const Connection &connection, const QString &table, const QStringList &columns,
                    const QStringList &keyColumns, QVariantList *row, QString *error)
{
    QStringList names;
    QStringList marks;
    QVariantList values;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (row->at(i).isNull())
            continue;
        names.append(quotedIdentifier(connection, columns.at(i)));
        marks.append(u"?"_s);
        values.append(row->at(i));
    }
    const QString target = quotedIdentifier(connection, table);
    const QString sql = names.isEmpty() ? u"INSERT INTO %1 DEFAULT VALUES"_s.arg(target)
                                        : u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(
                                              target, names.join(u", "_s), marks.join(u", "_s));
    QSqlQuery query = connection.query();
    if (!runSql(query, sql, values, error))
        return false;
    // An id the engine gave is the key of the new row.
    const qsizetype key = keyColumns.size() == 1 ? columns.indexOf(keyColumns.first()) : -1;
    if (key >= 0 && row->at(key).isNull())
        (*row)[key] = query.lastInsertId();
    else if (key >= 0 && keyColumns.first() == u"id"_s)
        return keepIdsPast(connection.database(), table, row->at(key).toLongLong(), error);
    return true;
}

bool updateTableRow(const Connection &connection, const QString &table, const QStringList &columns,
                    const QStringList &keyColumns, const QVariantList &key, const QVariantList &row,
                    QString *error)
{
    QStringList assignments;
    for (const QString &column : columns)
        assignments.append(quotedIdentifier(connection, column) + u" = ?"_s);
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"UPDATE %1 SET %2 WHERE %3"_s.arg(quotedIdentifier(connection, table),
                                                   assignments.join(u", "_s),
                                                   keyCondition(connection, keyColumns)),
                row + key, error))
        return false;
    if (query.numRowsAffected() == 1)
        return true;
    *error = u"La riga non è più presente nella tabella %1."_s.arg(table);
    return false;
}

bool deleteTableRow(const Connection &connection, const QString &table,
                    const QStringList &keyColumns, const QVariantList &key, QString *error)
{
    QSqlQuery query = connection.query();
    return runSql(query,
                  u"DELETE FROM %1 WHERE %2"_s.arg(quotedIdentifier(connection, table),
                                                   keyCondition(connection, keyColumns)),
                  key, error);
}
