#include "data/JournalGate.h"

#include "data/SqlText.h"
#include "data/TableRows.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace {

const QStringList IdColumn{u"id"_s};

QString tableName(JournalGate::Table table)
{
    return table == JournalGate::Table::Headers ? u"regmain"_s : u"regdet"_s;
}

// An entry as a refusal names it: its number and date, or its id while it has no number.
QString entryPlace(const JournalEntry &entry)
{
    const QString date = entry.header.data.toString(u"dd/MM/yyyy"_s);
    return entry.header.progressivo.isNull()
               ? u"Registrazione con identificativo %1 del %2"_s.arg(entry.header.id).arg(date)
               : u"Registrazione n. %1 del %2"_s.arg(entry.header.progressivo.toLongLong())
                     .arg(date);
}

} // namespace

std::optional<JournalEntry> JournalGate::read(qint64 id, QString *error) const
{
    QSqlQuery query = m_connection.query();
    if (!runSql(query,
                u"SELECT id, data, progressivo, tipo, attached, descrizione, versione "
                u"FROM regmain WHERE id = ?"_s,
                {id}, error))
        return std::nullopt;
    if (!query.next()) {
        if (error)
            *error = u"La registrazione non esiste più: è stata eliminata da un altro utente."_s;
        return std::nullopt;
    }
    const auto orNull = [](const QVariant &value, QMetaType type) {
        QVariant converted = value;
        return value.isNull() || !converted.convert(type) ? QVariant() : converted;
    };
    JournalEntry entry;
    entry.header = {query.value(0).toLongLong(),
                    dateFromIso(query.value(1).toString()),
                    orNull(query.value(2), QMetaType::fromType<qint64>()),
                    entryKindOf(query.value(3).toInt()),
                    orNull(query.value(4), QMetaType::fromType<QString>()),
                    orNull(query.value(5), QMetaType::fromType<QString>()),
                    query.value(6).toLongLong()};
    if (!runSql(query,
                u"SELECT id, contodare, contoavere, importo, descrizione FROM regdet "
                u"WHERE idRegMain = ? ORDER BY riga, id"_s,
                {id}, error))
        return std::nullopt;
    while (query.next())
        entry.rows.append(
            {query.value(0).toLongLong(), orNull(query.value(1), QMetaType::fromType<qint64>()),
             orNull(query.value(2), QMetaType::fromType<qint64>()),
             Money::fromUnits(query.value(3).toLongLong()), query.value(4).toString()});
    return entry;
}

bool JournalGate::writeTableRow(Table table, const QStringList &columns, const QVariant &id,
                                QVariantList *values, QString *error)
{
    return maintainTableRow(
        table, id,
        [&](QString *failure) -> std::optional<QVariant> {
            const bool written = id.isNull()
                                     ? insertTableRow(m_connection, tableName(table), columns,
                                                      IdColumn, values, failure)
                                     : updateTableRow(m_connection, tableName(table), columns,
                                                      IdColumn, {id}, *values, failure);
            if (!written)
                return std::nullopt;
            return values->value(columns.indexOf(u"id"_s));
        },
        error);
}

bool JournalGate::removeTableRow(Table table, qint64 id, QString *error)
{
    return maintainTableRow(
        table, id,
        [&](QString *failure) -> std::optional<QVariant> {
            if (!deleteTableRow(m_connection, tableName(table), IdColumn, {id}, failure))
                return std::nullopt;
            return QVariant();
        },
        error);
}

bool JournalGate::maintainTableRow(Table table, const QVariant &id, const TableChange &change,
                                   QString *error)
{
    m_lastFailure = GateFailure::None;
    forgetYears();
    QString failure;
    const auto outcome = [&](const QString &refusal) {
        if (!refusal.isEmpty())
            return failWith(GateFailure::Refused, refusal, error);
        return failure.isEmpty() || failWith(GateFailure::Archive, failure, error);
    };
    std::optional<QList<qint64>> touched =
        id.isNull() ? QList<qint64>() : entriesOfTableRow(table, id, &failure);
    if (!touched)
        return outcome({});
    for (qint64 entryId : *touched)
        if (const QString refusal = storedRefusal(entryId, &failure);
            !refusal.isEmpty() || !failure.isEmpty())
            return outcome(refusal);
    const std::optional<QVariant> changedId = change(&failure);
    const std::optional<QList<qint64>> after =
        changedId ? entriesOfTableRow(table, *changedId, &failure) : std::nullopt;
    if (!after)
        return outcome({});
    for (qint64 entryId : *after) {
        if (touched->contains(entryId))
            continue;
        // A row moved or added into an entry that may no longer change.
        if (const QString refusal = storedRefusal(entryId, &failure);
            !refusal.isEmpty() || !failure.isEmpty())
            return outcome(refusal);
        touched->append(entryId);
    }
    if (!raiseVersions(*touched, &failure))
        return outcome({});
    for (qint64 entryId : std::as_const(*touched))
        if (const QString refusal = maintainedEntryRefusal(entryId, &failure);
            !refusal.isEmpty() || !failure.isEmpty())
            return outcome(refusal);
    return true;
}

std::optional<QList<qint64>> JournalGate::entriesOfTableRow(Table table, const QVariant &id,
                                                            QString *error) const
{
    if (id.isNull())
        return QList<qint64>();
    QSqlQuery query = m_connection.query();
    const QString sql = table == Table::Headers ? u"SELECT id FROM regmain WHERE id = ?"_s
                                                : u"SELECT idRegMain FROM regdet WHERE id = ?"_s;
    if (!runSql(query, sql, {id}, error))
        return std::nullopt;
    QList<qint64> entries;
    if (query.next() && !query.value(0).isNull())
        entries.append(query.value(0).toLongLong());
    return entries;
}

QString JournalGate::maintainedEntryRefusal(qint64 entryId, QString *error)
{
    QSqlQuery query = m_connection.query();
    if (!runSql(query, u"SELECT 1 FROM regmain WHERE id = ?"_s, {entryId}, error))
        return {};
    // An entry deleted whole leaves nothing to check.
    if (!query.next())
        return {};
    const std::optional<JournalEntry> entry = read(entryId, error);
    if (!entry)
        return {};
    QString refusal = entryRefusal(m_connection, entry->rows, error);
    if (refusal.isEmpty() && error->isEmpty())
        refusal = dateRefusal(entry->header.data, false, error);
    if (refusal.isEmpty() && error->isEmpty())
        refusal = amountsRefusal(amountsOf(entry->rows), error);
    return refusal.isEmpty() ? QString() : entryPlace(*entry) + u": "_s + refusal;
}

bool JournalGate::raiseVersions(const QList<qint64> &entryIds, QString *error)
{
    QSqlQuery query = m_connection.query();
    for (qint64 entryId : entryIds)
        if (!runSql(query, u"UPDATE regmain SET versione = versione + 1 WHERE id = ?"_s, {entryId},
                    error))
            return false;
    return true;
}
