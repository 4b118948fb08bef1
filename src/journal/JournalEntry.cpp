#include "journal/JournalEntry.h"

#include "data/Database.h"
#include "data/SqlText.h"

#include <QFileInfo>
#include <QSet>

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

bool filled(const QVariant &account)
{
    return !account.isNull() && account.toLongLong() != 0;
}

// The sub-accounts among ids that belong to a memorandum ledger.
std::optional<QSet<qint64>> memorandumAmong(const Archive &archive, const QSet<qint64> &ids,
                                            QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return std::nullopt;
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"SELECT sottoconti.id FROM sottoconti JOIN conti ON sottoconti.idConto = conti.id "
                u"JOIN mastri ON conti.idMastro = mastri.id WHERE mastri.tipo = 0"_s,
                {}, error))
        return std::nullopt;
    QSet<qint64> memorandum;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (ids.contains(id))
            memorandum.insert(id);
    }
    return memorandum;
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

bool writeHeader(const Connection &connection, EntryHeader &header, const QDate &yearStart,
                 const QDate &yearEnd, QString *error)
{
    QSqlQuery query = connection.query();
    if (header.id == 0) {
        if (!runSql(
                query,
                u"SELECT COALESCE(MAX(progressivo), 0) + 1 FROM regmain WHERE data BETWEEN ? AND ?"_s,
                {isoDate(yearStart), isoDate(yearEnd)}, error) ||
            !query.next())
            return false;
        header.progressivo = query.value(0).toLongLong();
        if (!runSql(
                query,
                u"INSERT INTO regmain (data, progressivo, tipo, attached) VALUES (?, ?, ?, ?)"_s,
                {isoDate(header.data), header.progressivo, header.tipo, header.attached}, error))
            return false;
        header.id = query.lastInsertId().toLongLong();
        return true;
    }
    if (!runSql(query, u"UPDATE regmain SET data = ?, tipo = ?, attached = ? WHERE id = ?"_s,
                {isoDate(header.data), header.tipo, header.attached, header.id}, error))
        return false;
    if (query.numRowsAffected() == 0)
        return fail(error,
                    u"La registrazione non esiste più: è stata eliminata da un altro utente."_s);
    return true;
}

bool writeRows(const Connection &connection, qint64 entryId, QList<EntryRow> &rows, QString *error)
{
    QSqlQuery query = connection.query();
    QStringList kept;
    for (const EntryRow &row : rows) {
        if (row.id != 0)
            kept.append(QString::number(row.id));
    }
    // Ids are numbers the program read itself, never user text.
    const QString keptClause =
        kept.isEmpty() ? QString() : u" AND id NOT IN ("_s + kept.join(u", "_s) + u")"_s;
    if (!runSql(query, u"DELETE FROM regdet WHERE idRegMain = ?"_s + keptClause, {entryId}, error))
        return false;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        EntryRow &row = rows[i];
        const QVariantList values{(i + 1) * 10, row.contodare, row.contoavere, row.importo.units(),
                                  row.descrizione};
        if (row.id != 0) {
            if (!runSql(query,
                        u"UPDATE regdet SET riga = ?, contodare = ?, contoavere = ?, importo = ?, "
                        u"descrizione = ? WHERE id = ?"_s,
                        values + QVariantList{row.id}, error))
                return false;
            continue;
        }
        if (!runSql(query,
                    u"INSERT INTO regdet (riga, contodare, contoavere, importo, descrizione, "
                    u"idRegMain) "
                    u"VALUES (?, ?, ?, ?, ?, ?)"_s,
                    values + QVariantList{entryId}, error))
            return false;
        row.id = query.lastInsertId().toLongLong();
    }
    return true;
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

Money imbalanceOf(const QList<EntryRow> &rows)
{
    Money imbalance;
    for (const EntryRow &row : rows) {
        const bool debit = filled(row.contodare);
        const bool credit = filled(row.contoavere);
        if (debit && !credit)
            imbalance += row.importo;
        else if (credit && !debit)
            imbalance -= row.importo;
    }
    return imbalance;
}

QString ValidateRow(const EntryRow &row)
{
    if (!filled(row.contodare) && !filled(row.contoavere))
        return u"Inserire almeno un conto."_s;
    if (row.importo.isZero())
        return u"Inserire un importo diverso da zero."_s;
    if (row.descrizione.trimmed().isEmpty())
        return u"Inserire una descrizione."_s;
    return {};
}

QString ValidateEntry(const Archive &archive, const QList<EntryRow> &rows, QString *error)
{
    if (rows.isEmpty())
        return u"Nessuna riga di dettaglio."_s;
    if (!imbalanceOf(rows).isZero())
        return u"Sbilancio nella registrazione"_s;
    QSet<qint64> ids;
    for (const EntryRow &row : rows) {
        for (const QVariant &account : {row.contodare, row.contoavere}) {
            if (filled(account))
                ids.insert(account.toLongLong());
        }
    }
    const std::optional<QSet<qint64>> memorandum = memorandumAmong(archive, ids, error);
    if (!memorandum)
        return {};
    // Memorandum accounts must pair among themselves: an odd count of their cells mixes them
    // with ordinary accounts.
    bool odd = false;
    for (const EntryRow &row : rows) {
        for (const QVariant &account : {row.contodare, row.contoavere}) {
            if (filled(account) && memorandum->contains(account.toLongLong()))
                odd = !odd;
        }
    }
    if (odd)
        return u"Non è possibile inserire Conti d'Ordine e Conti convenzionali nella stessa registrazione."_s;
    return {};
}

QList<QPair<QVariant, QString>> LoadSubAccountLists(const Archive &archive, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return {};
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT id, descrizione FROM sottoconti ORDER BY descrizione, id"_s, {},
                error))
        return {};
    QList<QPair<QVariant, QString>> list;
    while (query.next())
        list.append({query.value(0).toLongLong(), query.value(1).toString()});
    return list;
}

std::optional<JournalEntry> loadEntry(const Archive &archive, qint64 id, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return std::nullopt;
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT id, data, progressivo, tipo, attached FROM regmain WHERE id = ?"_s,
                {id}, error))
        return std::nullopt;
    if (!query.next()) {
        fail(error, u"La registrazione non esiste più: è stata eliminata da un altro utente."_s);
        return std::nullopt;
    }
    JournalEntry entry;
    entry.header = {query.value(0).toLongLong(), dateFromIso(query.value(1).toString()),
                    idOrNull(query.value(2)), query.value(3).toInt(),
                    query.value(4).isNull() ? QVariant() : QVariant(query.value(4).toString())};
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
    JournalEntry written = entry;
    const bool ok = inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            return writeHeader(connection, written.header, yearStart, yearEnd, failure) &&
                   writeRows(connection, written.header.id, written.rows, failure);
        },
        error);
    if (ok)
        entry = written;
    return ok;
}

bool deleteEntry(const Archive &archive, qint64 id, QString *error)
{
    return inTransaction(
        archive,
        [id](const Connection &connection, QString *failure) {
            QSqlQuery query = connection.query();
            if (!runSql(query, u"DELETE FROM regmain WHERE id = ?"_s, {id}, failure))
                return false;
            return query.numRowsAffected() > 0 ||
                   fail(
                       failure,
                       u"La registrazione non esiste più: è stata eliminata da un altro utente."_s);
        },
        error);
}

QString attachmentName(const QDateTime &moment, const QString &chosenFile)
{
    const QString suffix = QFileInfo(chosenFile).suffix();
    const int hundredths = moment.time().msec() / 10;
    return moment.toString(u"yyyyMMddHHmmss"_s) +
           QString::number(hundredths).rightJustified(2, u'0') +
           (suffix.isEmpty() ? QString() : u"."_s + suffix);
}
