#include "settings/ArchiveTables.h"

#include "data/BankTables.h"
#include "data/ClosedYears.h"
#include "data/Database.h"
#include "data/FinalPrints.h"
#include "data/MonthlyTotals.h"
#include "data/SqlText.h"

#include <QDate>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {

// Columns whose stored integers or texts mean amounts and dates; the declared types of the
// schema do not tell them apart from other integers and texts.
ArchiveTable::Kind kindOf(const QString &table, const QSqlField &field)
{
    const QString name = field.name().toLower();
    if (table.compare(u"regdet"_s, Qt::CaseInsensitive) == 0 && name == u"importo"_s)
        return ArchiveTable::Kind::Money;
    if (table.compare(u"regmain"_s, Qt::CaseInsensitive) == 0 && name == u"data"_s)
        return ArchiveTable::Kind::Date;
    switch (field.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        return ArchiveTable::Kind::Integer;
    default:
        return ArchiveTable::Kind::Text;
    }
}

QString quoted(const Connection &connection, const QString &identifier)
{
    return connection.database().driver()->escapeIdentifier(identifier, QSqlDriver::FieldName);
}

QString keyCondition(const Connection &connection, const ArchiveTable &table)
{
    QStringList parts;
    for (int column : table.keyColumns)
        parts.append(quoted(connection, table.fields.at(column)) + u" = ?"_s);
    return parts.join(u" AND "_s);
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

bool insertRow(const Connection &connection, const ArchiveTable &table, QVariantList *row,
               QString *error)
{
    QStringList columns;
    QStringList marks;
    QVariantList values;
    for (int i = 0; i < table.fields.size(); ++i) {
        if (row->at(i).isNull())
            continue;
        columns.append(quoted(connection, table.fields.at(i)));
        marks.append(u"?"_s);
        values.append(row->at(i));
    }
    const QString target = quoted(connection, table.name);
    const QString sql = columns.isEmpty() ? u"INSERT INTO %1 DEFAULT VALUES"_s.arg(target)
                                          : u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(
                                                target, columns.join(u", "_s), marks.join(u", "_s));
    QSqlQuery query = connection.query();
    if (!runSql(query, sql, values, error))
        return false;
    // An id the engine gave is the key of the new row.
    if (table.keyColumns.size() == 1 && row->at(table.keyColumns.first()).isNull())
        (*row)[table.keyColumns.first()] = query.lastInsertId();
    return true;
}

bool updateRow(const Connection &connection, const ArchiveTable &table, const QVariantList &key,
               const QVariantList &row, QString *error)
{
    QStringList assignments;
    for (const QString &field : table.fields)
        assignments.append(quoted(connection, field) + u" = ?"_s);
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"UPDATE %1 SET %2 WHERE %3"_s.arg(quoted(connection, table.name),
                                                   assignments.join(u", "_s),
                                                   keyCondition(connection, table)),
                row + key, error))
        return false;
    if (query.numRowsAffected() != 1)
        return fail(error, u"La riga non è più presente nella tabella %1."_s.arg(table.name));
    return true;
}

bool isTable(const ArchiveTable &table, QStringView name)
{
    return table.name.compare(name, Qt::CaseInsensitive) == 0;
}

QVariant fieldValue(const ArchiveTable &table, const QVariantList &row, QStringView field)
{
    for (qsizetype i = 0; i < table.fields.size(); ++i)
        if (table.fields.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return row.value(i);
    return {};
}

// The entry a stored row of regmain or regdet belongs to; 0 for another table or a missing row.
qint64 storedEntryOf(const Connection &connection, const ArchiveTable &table,
                     const QVariantList &key, QString *error)
{
    if (key.isEmpty() || (!isTable(table, u"regmain") && !isTable(table, u"regdet")))
        return 0;
    if (isTable(table, u"regmain"))
        return key.first().toLongLong();
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT idRegMain FROM regdet WHERE id = ?"_s, {key.first()}, error) ||
        !query.next())
        return 0;
    return query.value(0).toLongLong();
}

// The refusal of a change to the journal tables that touches an entry printed in definitiva or
// of a closed year: the stored row's entry, or the entry (or date) the new values give. Empty
// when allowed.
QString lockedRowRefusal(const Connection &connection, const ArchiveTable &table,
                         const QVariantList &key, const QVariantList *row, QString *error)
{
    const QSqlDatabase database = connection.database();
    const QString refusal =
        frozenEntryRefusal(database, storedEntryOf(connection, table, key, error), error);
    if (!refusal.isEmpty() || !row || !error->isEmpty())
        return refusal;
    if (isTable(table, u"regmain"))
        return frozenDateRefusal(database, dateFromIso(fieldValue(table, *row, u"data").toString()),
                                 error);
    if (isTable(table, u"regdet"))
        return frozenEntryRefusal(database, fieldValue(table, *row, u"idRegMain").toLongLong(),
                                  error);
    return {};
}

} // namespace

QVariantList ArchiveTable::keyOf(const QVariantList &row) const
{
    QVariantList key;
    for (int column : keyColumns)
        key.append(row.value(column));
    return key;
}

QStringList archiveTableNames(const Archive &archive, QString *error)
{
    if (archive.isNull())
        return {};
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return {};
    QStringList names;
    for (const QString &name : connection.database().tables(QSql::Tables)) {
        // The engine keeps its own bookkeeping (autoincrement counters) in tables of its own;
        // the monthly totals follow the entries by themselves; the final prints of the journal
        // book change only through printing and its undo; the bank statements' tables through
        // the import and its windows.
        if (!name.startsWith(u"sqlite_"_s, Qt::CaseInsensitive) && name != monthlyTotalsTable() &&
            name != finalPrintsTable() && !bankTableNames().contains(name))
            names.append(name);
    }
    return names;
}

bool loadArchiveTable(const Archive &archive, const QString &name, ArchiveTable *table,
                      QString *error)
{
    QString failure;
    if (!archiveTableNames(archive, &failure).contains(name))
        return fail(error, failure.isEmpty() ? u"Tabella non trovata: %1"_s.arg(name) : failure);
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return false;

    ArchiveTable loaded;
    loaded.name = name;
    const QSqlRecord record = connection.database().record(name);
    for (int i = 0; i < record.count(); ++i) {
        loaded.fields.append(record.fieldName(i));
        loaded.kinds.append(kindOf(name, record.field(i)));
    }
    const QSqlIndex primary = connection.database().primaryIndex(name);
    for (int i = 0; i < primary.count(); ++i)
        loaded.keyColumns.append(int(loaded.fields.indexOf(primary.fieldName(i))));

    QSqlQuery query = connection.query();
    query.setForwardOnly(true);
    if (!runSql(query, u"SELECT * FROM "_s + quoted(connection, name), {}, error))
        return false;
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < loaded.fields.size(); ++i) {
            const QVariant value = query.value(i);
            // Dates go back to the archive as the ISO text they were stored as.
            row.append(value.typeId() == QMetaType::QDate
                           ? QVariant(value.toDate().toString(Qt::ISODate))
                           : value);
        }
        loaded.rows.push_back(row);
    }
    *table = std::move(loaded);
    return true;
}

bool writeArchiveRow(const Archive &archive, const ArchiveTable &table, const QVariantList &key,
                     QVariantList *row, QString *error)
{
    if (table.keyColumns.isEmpty())
        return fail(error, u"La tabella %1 non ha una chiave primaria: le righe non possono essere "
                           u"modificate."_s.arg(table.name));
    return inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            const QString locked = lockedRowRefusal(connection, table, key, row, failure);
            if (!locked.isEmpty())
                return fail(failure, locked);
            if (!failure->isEmpty())
                return false;
            return key.isEmpty() ? insertRow(connection, table, row, failure)
                                 : updateRow(connection, table, key, *row, failure);
        },
        error, WriteScope::WholeArchive);
}

bool deleteArchiveRow(const Archive &archive, const ArchiveTable &table, const QVariantList &key,
                      QString *error)
{
    if (table.keyColumns.isEmpty() || key.size() != table.keyColumns.size())
        return fail(error,
                    u"La riga non può essere identificata nella tabella %1."_s.arg(table.name));
    return inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            const QString locked = lockedRowRefusal(connection, table, key, nullptr, failure);
            if (!locked.isEmpty())
                return fail(failure, locked);
            if (!failure->isEmpty())
                return false;
            QSqlQuery query = connection.query();
            return runSql(query,
                          u"DELETE FROM %1 WHERE %2"_s.arg(quoted(connection, table.name),
                                                           keyCondition(connection, table)),
                          key, failure);
        },
        error, WriteScope::WholeArchive);
}
