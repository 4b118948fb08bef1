#include "journal/JournalEntry.h"

#include "data/ClosedYears.h"
#include "data/Database.h"
#include "data/SqlText.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// A stored id or number; a column's null becomes the plain null value.
QVariant idOrNull(const QVariant &value)
{
    return value.isNull() ? QVariant() : QVariant(value.toLongLong());
}

QVariant textOrNull(const QVariant &value)
{
    return value.isNull() ? QVariant() : QVariant(value.toString());
}

QList<EntryRow> rowsOf(const Connection &connection, qint64 entryId, QString *error, bool *ok)
{
    QSqlQuery query = connection.query();
    *ok = runSql(query,
                 u"SELECT id, contodare, contoavere, importo, descrizione FROM regdet "
                 u"WHERE idRegMain = ? ORDER BY riga, id"_s,
                 {entryId}, error);
    QList<EntryRow> rows;
    while (*ok && query.next())
        rows.append({query.value(0).toLongLong(), idOrNull(query.value(1)),
                     idOrNull(query.value(2)), Money::fromUnits(query.value(3).toLongLong()),
                     query.value(4).toString()});
    return rows;
}

} // namespace

QString entryTypeCaption(int tipo)
{
    switch (tipo) {
    case 0:
        return u"Tipo Reg.: Normale"_s;
    case 1:
        return u"Tipo Reg.: Apertura Conti"_s;
    case -1:
        return u"Tipo Reg.: Chiusura Conti"_s;
    default:
        return {};
    }
}

QString validateRow(const EntryRow &row)
{
    if (!namesSubAccount(row.contodare) && !namesSubAccount(row.contoavere))
        return u"Inserire almeno un conto."_s;
    if (row.importo.isZero())
        return u"Inserire un importo diverso da zero."_s;
    if (row.descrizione.trimmed().isEmpty())
        return u"Inserire una descrizione."_s;
    return {};
}

QString validateEntry(const Archive &archive, const QList<EntryRow> &rows, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return {};
    return entryRefusal(connection, rows, error);
}

QList<QPair<QVariant, QString>> subAccountChoices(const Archive &archive, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return {};
    QSqlQuery query = connection.query();
    if (!runSql(
            query,
            u"SELECT id, descrizione FROM sottoconti ORDER BY descrizione COLLATE ITALIANO, id"_s,
            {}, error))
        return {};
    QList<QPair<QVariant, QString>> list;
    while (query.next())
        list.append({query.value(0).toLongLong(), query.value(1).toString()});
    return list;
}

QString entryLockRefusal(const Archive &archive, qint64 id, QString *error)
{
    const Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return {};
    return frozenEntryRefusal(connection.database(), id, error);
}

std::optional<JournalEntry> loadEntry(const Archive &archive, qint64 id, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return std::nullopt;
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"SELECT id, data, progressivo, tipo, attached, descrizione FROM regmain "
                u"WHERE id = ?"_s,
                {id}, error))
        return std::nullopt;
    if (!query.next()) {
        fail(error, u"La registrazione non esiste più: è stata eliminata da un altro utente."_s);
        return std::nullopt;
    }
    JournalEntry entry;
    entry.header = {query.value(0).toLongLong(), dateFromIso(query.value(1).toString()),
                    idOrNull(query.value(2)),    query.value(3).toInt(),
                    textOrNull(query.value(4)),  textOrNull(query.value(5))};
    bool ok = false;
    entry.rows = rowsOf(connection, id, error, &ok);
    if (!ok)
        return std::nullopt;
    return entry;
}

std::optional<JournalEntry> newEntry(const Archive &archive, qint64 modelId,
                                     const QDate &workingDate, QString *error)
{
    JournalEntry entry;
    entry.header.data = workingDate;
    if (modelId <= 0)
        return entry;
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return std::nullopt;
    bool ok = false;
    entry.rows = rowsOf(connection, modelId, error, &ok);
    if (!ok)
        return std::nullopt;
    for (EntryRow &row : entry.rows)
        row.id = 0;
    return entry;
}

bool saveEntry(const Archive &archive, JournalEntry &entry, const QDate &yearStart,
               const QDate &yearEnd, QString *error)
{
    return writeEntry(archive, entry, {yearStart, yearEnd, {}}, error);
}

bool deleteEntry(const Archive &archive, qint64 id, QString *error)
{
    return removeEntry(archive, id, error);
}

QString attachmentName(const QDateTime &moment, const QString &chosenFile)
{
    const QString suffix = QFileInfo(chosenFile).suffix();
    const int hundredths = moment.time().msec() / 10;
    return moment.toString(u"yyyyMMddHHmmss"_s) +
           QString::number(hundredths).rightJustified(2, u'0') +
           (suffix.isEmpty() ? QString() : u"."_s + suffix);
}
