#include "settings/ArchiveTables.h"

#include "data/BankTables.h"
#include "data/Database.h"
#include "data/Failure.h"
#include "data/FinalPrints.h"
#include "data/JournalGate.h"
#include "data/MonthlyTotals.h"
#include "data/Schema.h"
#include "data/TableRows.h"

#include <QDate>
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

// The journal table a table of the archive is, written only through the journal gate.
std::optional<JournalGate::Table> journalTable(const ArchiveTable &table)
{
    if (table.name.compare(u"regmain"_s, Qt::CaseInsensitive) == 0)
        return JournalGate::Table::Headers;
    if (table.name.compare(u"regdet"_s, Qt::CaseInsensitive) == 0)
        return JournalGate::Table::Rows;
    return std::nullopt;
}

QStringList keyFields(const ArchiveTable &table)
{
    QStringList fields;
    for (int column : table.keyColumns)
        fields.append(table.fields.at(column));
    return fields;
}

bool writeRow(const Connection &connection, const ArchiveTable &table, const QVariantList &key,
              QVariantList *row, QString *error)
{
    if (const std::optional<JournalGate::Table> journal = journalTable(table))
        return JournalGate(connection)
            .writeTableRow(*journal, table.fields, key.isEmpty() ? QVariant() : key.first(), row,
                           error);
    return key.isEmpty()
               ? insertTableRow(connection, table.name, table.fields, keyFields(table), row, error)
               : updateTableRow(connection, table.name, table.fields, keyFields(table), key, *row,
                                error);
}

bool deleteRow(const Connection &connection, const ArchiveTable &table, const QVariantList &key,
               QString *error)
{
    if (const std::optional<JournalGate::Table> journal = journalTable(table))
        return JournalGate(connection).removeTableRow(*journal, key.first().toLongLong(), error);
    return deleteTableRow(connection, table.name, keyFields(table), key, error);
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
        loaded.fields.append(programColumnName(record.fieldName(i)));
        loaded.kinds.append(kindOf(name, record.field(i)));
    }
    const QSqlIndex primary = connection.database().primaryIndex(name);
    for (int i = 0; i < primary.count(); ++i)
        loaded.keyColumns.append(
            int(loaded.fields.indexOf(programColumnName(primary.fieldName(i)))));

    QSqlQuery query = connection.query();
    query.setForwardOnly(true);
    if (!runSql(query, u"SELECT * FROM "_s + quotedIdentifier(connection, name), {}, error))
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
            return writeRow(connection, table, key, row, failure);
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
            return deleteRow(connection, table, key, failure);
        },
        error, WriteScope::WholeArchive);
}
