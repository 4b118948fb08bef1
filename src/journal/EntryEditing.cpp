#include "journal/EntryEditing.h"

#include "data/ClosedYears.h"
#include "data/Database.h"
#include "data/SqlText.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

QString entryTypeCaption(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Ordinary:
        return u"Tipo Reg.: Normale"_s;
    case EntryKind::Opening:
        return u"Tipo Reg.: Apertura Conti"_s;
    case EntryKind::Closing:
        return u"Tipo Reg.: Chiusura Conti"_s;
    }
    return {};
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
    if (!runSql(query,
                u"SELECT id, descrizione FROM sottoconti ORDER BY italiano(descrizione), id"_s, {},
                error))
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
    return JournalGate(connection).read(id, error);
}

std::optional<JournalEntry> newEntry(const Archive &archive, qint64 modelId,
                                     const QDate &workingDate, QString *error)
{
    JournalEntry entry;
    entry.header.data = workingDate;
    if (modelId <= 0)
        return entry;
    const std::optional<JournalEntry> model = loadEntry(archive, modelId, error);
    if (!model)
        return std::nullopt;
    entry.rows = model->rows;
    for (EntryRow &row : entry.rows)
        row.id = 0;
    return entry;
}

bool saveEntry(const Archive &archive, JournalEntry &entry, const QDate &yearStart,
               const QDate &yearEnd, QString *error, GateFailure *kind)
{
    return writeEntry(archive, entry, {yearStart, yearEnd, {}}, error, kind);
}

bool deleteEntry(const Archive &archive, const EntryHeader &header, QString *error,
                 GateFailure *kind)
{
    return removeEntry(archive, header.id, header.version, error, kind);
}

QString attachmentName(const QDateTime &moment, const QString &chosenFile)
{
    const QString suffix = QFileInfo(chosenFile).suffix();
    const int hundredths = moment.time().msec() / 10;
    return moment.toString(u"yyyyMMddHHmmss"_s) +
           QString::number(hundredths).rightJustified(2, u'0') +
           (suffix.isEmpty() ? QString() : u"."_s + suffix);
}
