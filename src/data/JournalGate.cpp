#include "data/JournalGate.h"

#include "data/ClosedYears.h"
#include "data/EngineDialect.h"
#include "data/Failure.h"
#include "data/FinalPrints.h"
#include "data/MonthlyTotals.h"
#include "data/PatternFormatter.h"
#include "data/SqlText.h"

#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString EntryGone =
    u"La registrazione non esiste più: è stata eliminata da un altro utente."_s;

bool entryExists(const Connection &connection, qint64 id)
{
    QSqlQuery query = connection.query();
    return runSql(query, u"SELECT 1 FROM regmain WHERE id = ?"_s, {id}) && query.next();
}

// Whether numbering the entries dated first..last would change an entry printed in definitiva.
std::optional<bool> renumberingChangesPrintedEntry(const Connection &connection, const QDate &first,
                                                   const QDate &last, QString *error)
{
    QString failure;
    const std::optional<QDate> until = lockedUntil(connection.database(), first, &failure);
    if (!failure.isEmpty()) {
        if (error)
            *error = failure;
        return std::nullopt;
    }
    if (!until)
        return false;
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"SELECT 1 FROM (SELECT data, progressivo, ROW_NUMBER() OVER (ORDER BY data, id) "
                u"AS rango FROM regmain WHERE data BETWEEN ? AND ?) numerate "
                u"WHERE data <= ? AND (progressivo IS NULL OR progressivo <> rango) LIMIT 1"_s,
                {isoDate(first), isoDate(last), isoDate(*until)}, error))
        return std::nullopt;
    return query.next();
}

// The refusal of a new entry dated inside a period printed in definitiva.
QString printedPeriodRefusal(const std::optional<QDate> &until, const QDate &date)
{
    if (!until || date > *until)
        return {};
    const QString shown = until->toString(u"dd/MM/yyyy"_s);
    return u"Il periodo fino al %1 è già stampato in definitiva sul libro giornale: non si possono "
           u"aggiungere registrazioni con data fino al %1."_s.arg(shown);
}

} // namespace

QString changedByOtherMessage()
{
    return u"La registrazione è stata modificata da un altro utente dopo l'apertura: riaprirla per "
           u"vedere la versione attuale."_s;
}

JournalGate::JournalGate(const Connection &connection, ClosedYearRule closedYears)
    : m_connection(connection), m_closedYears(closedYears), m_headerInsert(connection.query()),
      m_rowInsert(connection.query())
{
}

bool JournalGate::failWith(GateFailure kind, const QString &text, QString *error)
{
    m_lastFailure = kind;
    return fail(error, text);
}

bool JournalGate::admit(const JournalEntry &entry, QString *error)
{
    m_lastFailure = GateFailure::None;
    QString failure;
    if (!m_memorandum)
        m_memorandum = memorandumAmong(m_connection, std::nullopt, &failure);
    QString refusal = m_memorandum ? entryRefusal(entry.rows, *m_memorandum) : QString();
    if (refusal.isEmpty() && failure.isEmpty() &&
        entry.header.descrizione.toString().size() > EntryTextLength)
        refusal =
            u"Descrizione della registrazione più lunga di %1 caratteri."_s.arg(EntryTextLength);
    if (refusal.isEmpty() && failure.isEmpty())
        refusal = lockRefusal(entry.header, &failure);
    if (refusal.isEmpty() && failure.isEmpty())
        refusal = amountsRefusal(amountsOf(entry.rows), &failure);
    if (!refusal.isEmpty() || !failure.isEmpty())
        return failWith(refusal.isEmpty() ? GateFailure::Archive : GateFailure::Refused,
                        refusal.isEmpty() ? failure : refusal, error);
    return true;
}

bool JournalGate::write(JournalEntry &entry, const FiscalYear &numberingYear, QString *error)
{
    if (!admit(entry, error))
        return false;
    JournalEntry written = entry;
    if (!writeHeader(written.header, numberingYear, error) ||
        !writeRows(written.header.id, entry.header.id == 0, written.rows, error)) {
        if (m_lastFailure == GateFailure::None)
            m_lastFailure = GateFailure::Archive;
        return false;
    }
    entry = written;
    return true;
}

bool JournalGate::remove(qint64 id, QString *error, std::optional<qint64> version)
{
    m_lastFailure = GateFailure::None;
    QString failure;
    const QString refusal = storedRefusal(id, &failure);
    if (!refusal.isEmpty() || !failure.isEmpty())
        return failWith(refusal.isEmpty() ? GateFailure::Archive : GateFailure::Refused,
                        refusal.isEmpty() ? failure : refusal, error);
    forgetYears();
    QSqlQuery query = m_connection.query();
    const bool deleted = version
                             ? runSql(query, u"DELETE FROM regmain WHERE id = ? AND versione = ?"_s,
                                      {id, *version}, error)
                             : runSql(query, u"DELETE FROM regmain WHERE id = ?"_s, {id}, error);
    if (!deleted)
        return failWith(GateFailure::Archive, *error, error);
    if (query.numRowsAffected() > 0)
        return true;
    if (version && entryExists(m_connection, id))
        return failWith(GateFailure::ChangedByOther, changedByOtherMessage(), error);
    return failWith(GateFailure::Gone, EntryGone, error);
}

bool JournalGate::renumber(const QDate &first, const QDate &last, QString *error)
{
    forgetYears();
    const std::optional<bool> locked =
        renumberingChangesPrintedEntry(m_connection, first, last, error);
    if (!locked)
        return false;
    if (*locked)
        return fail(error, u"Il ricalcolo cambierebbe i progressivi di registrazioni già stampate "
                           u"in definitiva sul libro giornale: ricalcolo non eseguito."_s);
    QSqlQuery query = m_connection.query();
    return runSql(query,
                  u"UPDATE regmain SET progressivo = numerate.rango, versione = versione + 1 "
                  u"FROM (SELECT id, ROW_NUMBER() OVER (ORDER BY data, id) AS rango "
                  u"FROM regmain WHERE data BETWEEN ? AND ?) numerate "
                  u"WHERE regmain.id = numerate.id AND regmain.data BETWEEN ? AND ? "
                  u"AND (regmain.progressivo IS NULL OR regmain.progressivo <> numerate.rango)"_s,
                  {isoDate(first), isoDate(last), isoDate(first), isoDate(last)}, error);
}

QString JournalGate::amountsRefusal(Money amount, QString *error)
{
    if (!m_amountsSoFar) {
        QSqlQuery query = m_connection.query();
        // The kept monthly totals add up the same rows as the entries, in far fewer lines.
        if (!hasMonthlyTotals(m_connection.database()))
            m_amountsSoFar = 0;
        else if (runSql(query,
                        u"SELECT COALESCE(SUM(ABS(dare)), 0) + COALESCE(SUM(ABS(avere)), 0) "
                        u"FROM saldi_mese"_s,
                        {}, error) &&
                 query.next())
            m_amountsSoFar = query.value(0).toLongLong();
        else
            return {};
    }
    if (amount.units() > ArchiveAmountLimit.units() - *m_amountsSoFar)
        return u"Importi troppo grandi: con questa registrazione gli importi dell'archivio "
               u"supererebbero in tutto %1, il massimo che i totali tengono esatti."_s.arg(
                   PatternFormatter().format(ArchiveAmountLimit, u"#,##0.00"_s));
    *m_amountsSoFar += amount.units();
    return {};
}

bool JournalGate::removeHeadersWithoutRows(const QDate &first, const QDate &last, QString *error)
{
    forgetYears();
    QSqlQuery query = m_connection.query();
    // A scalar subquery, not NOT EXISTS: a server would read every row of every year to hash
    // them instead of looking up each header of these dates in the rows' index.
    return runSql(query,
                  u"DELETE FROM regmain WHERE data BETWEEN ? AND ? AND (SELECT regdet.id FROM "
                  u"regdet WHERE regdet.idRegMain = regmain.id LIMIT 1) IS NULL"_s,
                  {isoDate(first), isoDate(last)}, error);
}

QString JournalGate::storedRefusal(qint64 id, QString *error) const
{
    const QSqlDatabase database = m_connection.database();
    return m_closedYears == ClosedYearRule::Refuse ? frozenEntryRefusal(database, id, error)
                                                   : lockedEntryRefusal(database, id, error);
}

std::optional<FiscalYear> JournalGate::yearContaining(const QDate &date, QString *error) const
{
    if (!date.isValid())
        return std::nullopt;
    if (!m_startMonth)
        m_startMonth = archiveStartMonth(m_connection.database(), error);
    if (!m_startMonth)
        return std::nullopt;
    return fiscalYearContaining(date, *m_startMonth);
}

QString JournalGate::dateRefusal(const QDate &date, bool newEntry, QString *error) const
{
    const std::optional<FiscalYear> year = yearContaining(date, error);
    if (!error->isEmpty())
        return {};
    std::optional<QDate> until;
    if (year) {
        auto printed = m_printedUntil.constFind(year->start);
        if (printed == m_printedUntil.cend()) {
            until = lockedUntil(m_connection.database(), date, error);
            if (!error->isEmpty())
                return {};
            printed = m_printedUntil.insert(year->start, until);
        }
        until = *printed;
    }
    const QString printed =
        newEntry ? printedPeriodRefusal(until, date) : lockedDateRefusal(until, date);
    if (!printed.isEmpty() || m_closedYears == ClosedYearRule::Allow)
        return printed;
    return closedYearRefusal(date, error);
}

QString JournalGate::closedYearRefusal(const QDate &date, QString *error) const
{
    const QSqlDatabase database = m_connection.database();
    const std::optional<FiscalYear> year = yearContaining(date, error);
    if (!year)
        return {};
    auto closed = m_closedYearsSeen.constFind(year->start);
    if (closed == m_closedYearsSeen.cend()) {
        const std::optional<bool> holdsClosing =
            holdsEntriesOfType(database, *year, EntryKind::Closing, error);
        if (!holdsClosing)
            return {};
        closed = m_closedYearsSeen.insert(year->start, *holdsClosing);
    }
    return *closed ? closedYearMessage(*year) : QString();
}

void JournalGate::forgetYears()
{
    m_highestNumber.clear();
    m_closedYearsSeen.clear();
}

QString JournalGate::lockRefusal(const EntryHeader &header, QString *error) const
{
    if (header.id != 0) {
        const QString stored = storedRefusal(header.id, error);
        if (!stored.isEmpty() || !error->isEmpty())
            return stored;
    }
    return dateRefusal(header.data, header.id == 0, error);
}

bool JournalGate::takeNumbering(QList<FiscalYear> years, QString *error)
{
    std::sort(years.begin(), years.end(),
              [](const FiscalYear &a, const FiscalYear &b) { return a.start < b.start; });
    return std::all_of(years.cbegin(), years.cend(), [&](const FiscalYear &year) {
        return year.start.isValid() && highestNumber(year, error).has_value();
    });
}

std::optional<qint64> JournalGate::highestNumber(const FiscalYear &year, QString *error)
{
    if (const auto known = m_highestNumber.constFind(year.start); known != m_highestNumber.cend())
        return *known;
    // On a server other users save at once: the year's numbers are taken under its lock, held
    // until this transaction ends, so that no two entries get the same one.
    if (!lockFiscalYear(m_connection.database(), year.start.year(), error))
        return std::nullopt;
    QSqlQuery query = m_connection.query();
    if (!runSql(query,
                u"SELECT COALESCE(MAX(progressivo), 0) FROM regmain WHERE data BETWEEN ? AND ?"_s,
                {isoDate(year.start), isoDate(year.end)}, error) ||
        !query.next())
        return std::nullopt;
    const qint64 highest = query.value(0).toLongLong();
    m_highestNumber.insert(year.start, highest);
    return highest;
}

std::optional<qsizetype> JournalGate::writeNew(QList<JournalEntry> &entries,
                                               const QList<FiscalYear> &numberingYears,
                                               QString *error)
{
    return writeNewEntries(entries, numberingYears, nullptr, error);
}

bool JournalGate::writeNewLeavingOutRefused(QList<JournalEntry> &entries,
                                            const QList<FiscalYear> &numberingYears,
                                            QStringList *refusals, QString *error)
{
    *refusals = QStringList(entries.size());
    return !writeNewEntries(entries, numberingYears, refusals, error);
}

std::optional<qsizetype> JournalGate::writeNewEntries(QList<JournalEntry> &entries,
                                                      const QList<FiscalYear> &numberingYears,
                                                      QStringList *refusals, QString *error)
{
    QList<JournalEntry *> pending;
    QList<FiscalYear> pendingYears;
    const auto insertPending = [&] {
        const bool ok = insertNew(pending, pendingYears, error);
        pending.clear();
        pendingYears.clear();
        return ok;
    };
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QString refusal;
        if (!admit(entries[i], &refusal)) {
            if (!refusals || m_lastFailure != GateFailure::Refused) {
                fail(error, refusal);
                return i;
            }
            // A refused entry adds nothing to what the gate counts: the others go on.
            (*refusals)[i] = refusal;
            continue;
        }
        pending.append(&entries[i]);
        pendingYears.append(numberingYears.value(i));
        // A closing changes what the entries after it may be: it is written before they are
        // checked.
        if (entries[i].header.kind == EntryKind::Closing && !insertPending()) {
            m_lastFailure = GateFailure::Archive;
            return i;
        }
    }
    if (!insertPending()) {
        m_lastFailure = GateFailure::Archive;
        return entries.size() - 1;
    }
    return std::nullopt;
}

bool JournalGate::insertNew(const QList<JournalEntry *> &entries,
                            const QList<FiscalYear> &numberingYears, QString *error)
{
    if (entries.isEmpty())
        return true;
    const std::optional<QList<qint64>> ids =
        reserveIds(m_connection.database(), u"regmain"_s, int(entries.size()), error);
    if (!ids)
        return false;
    QList<QVariantList> headers;
    QList<QVariantList> rows;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        EntryHeader &header = entries[i]->header;
        if (numberingYears[i].start.isValid()) {
            const std::optional<qint64> highest = highestNumber(numberingYears[i], error);
            if (!highest)
                return false;
            header.progressivo = *highest + 1;
            m_highestNumber.insert(numberingYears[i].start, *highest + 1);
        }
        header.id = ids->at(i);
        headers.append({header.id, isoDate(header.data), header.progressivo,
                        storedKind(header.kind), header.attached, header.descrizione});
        for (qsizetype r = 0; r < entries[i]->rows.size(); ++r) {
            const EntryRow &row = entries[i]->rows[r];
            rows.append({header.id, (r + 1) * 10, row.contodare, row.contoavere,
                         row.importo.units(), row.descrizione});
        }
    }
    if (entries.last()->header.kind == EntryKind::Closing)
        forgetYears();
    QSqlQuery query = m_connection.query();
    return insertRows(
               query, u"regmain"_s,
               {u"id"_s, u"data"_s, u"progressivo"_s, u"tipo"_s, u"attached"_s, u"descrizione"_s},
               headers, error) &&
           insertRows(query, u"regdet"_s,
                      {u"idRegMain"_s, u"riga"_s, u"contodare"_s, u"contoavere"_s, u"importo"_s,
                       u"descrizione"_s},
                      rows, error);
}

bool JournalGate::writeHeader(EntryHeader &header, const FiscalYear &numberingYear, QString *error)
{
    QSqlQuery query = m_connection.query();
    if (header.id == 0) {
        if (numberingYear.start.isValid()) {
            const std::optional<qint64> highest = highestNumber(numberingYear, error);
            if (!highest)
                return false;
            header.progressivo = *highest + 1;
        }
        const std::optional<qint64> id = insertReturningId(
            m_headerInsert,
            u"INSERT INTO regmain (data, progressivo, tipo, attached, descrizione) "
            u"VALUES (?, ?, ?, ?, ?) RETURNING id"_s,
            {isoDate(header.data), header.progressivo, storedKind(header.kind), header.attached,
             header.descrizione},
            error);
        if (!id)
            return false;
        header.id = *id;
        if (header.kind == EntryKind::Closing)
            forgetYears();
        if (numberingYear.start.isValid())
            m_highestNumber.insert(numberingYear.start, header.progressivo.toLongLong());
        return true;
    }
    // A changed date can carry its number, or a closing, into another year.
    forgetYears();
    if (!runSql(query,
                u"UPDATE regmain SET data = ?, tipo = ?, attached = ?, descrizione = ?, "
                u"versione = versione + 1 WHERE id = ? AND versione = ?"_s,
                {isoDate(header.data), storedKind(header.kind), header.attached, header.descrizione,
                 header.id, header.version},
                error))
        return false;
    if (query.numRowsAffected() == 0)
        return entryExists(m_connection, header.id)
                   ? failWith(GateFailure::ChangedByOther, changedByOtherMessage(), error)
                   : failWith(GateFailure::Gone, EntryGone, error);
    ++header.version;
    return true;
}

bool JournalGate::writeRows(qint64 entryId, bool newEntry, QList<EntryRow> &rows, QString *error)
{
    QSqlQuery query = m_connection.query();
    QStringList kept;
    for (const EntryRow &row : rows) {
        if (row.id != 0)
            kept.append(QString::number(row.id));
    }
    // Ids are numbers the program read itself, never user text.
    const QString keptClause =
        kept.isEmpty() ? QString() : u" AND id NOT IN ("_s + kept.join(u", "_s) + u")"_s;
    // A new entry has no rows to take out yet.
    if (!newEntry &&
        !runSql(query, u"DELETE FROM regdet WHERE idRegMain = ?"_s + keptClause, {entryId}, error))
        return false;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        EntryRow &row = rows[i];
        const QVariantList values{(i + 1) * 10, row.contodare, row.contoavere, row.importo.units(),
                                  row.descrizione};
        if (row.id != 0) {
            if (!runSql(query,
                        u"UPDATE regdet SET riga = ?, contodare = ?, contoavere = ?, importo = ?, "
                        u"descrizione = ? WHERE id = ? AND idRegMain = ?"_s,
                        values + QVariantList{row.id, entryId}, error))
                return false;
            // A row that is no longer there was taken out by another writer.
            if (query.numRowsAffected() == 0)
                return failWith(GateFailure::ChangedByOther, changedByOtherMessage(), error);
            continue;
        }
        const std::optional<qint64> id =
            insertReturningId(m_rowInsert,
                              u"INSERT INTO regdet (riga, contodare, contoavere, importo, "
                              u"descrizione, idRegMain) VALUES (?, ?, ?, ?, ?, ?) RETURNING id"_s,
                              values + QVariantList{entryId}, error);
        if (!id)
            return false;
        row.id = *id;
    }
    return true;
}

bool writeEntry(const Archive &archive, JournalEntry &entry, const FiscalYear &numberingYear,
                QString *error, GateFailure *kind)
{
    JournalEntry written = entry;
    GateFailure failure = GateFailure::Archive;
    const bool ok = inTransaction(
        archive,
        [&](const Connection &connection, QString *text) {
            JournalGate gate(connection);
            const bool written_ = gate.write(written, numberingYear, text);
            failure = gate.lastFailure();
            return written_;
        },
        error);
    if (kind)
        *kind = ok ? GateFailure::None : failure;
    if (ok)
        entry = written;
    return ok;
}

bool removeEntry(const Archive &archive, qint64 id, std::optional<qint64> version, QString *error,
                 GateFailure *kind)
{
    GateFailure failure = GateFailure::Archive;
    const bool ok = inTransaction(
        archive,
        [&](const Connection &connection, QString *text) {
            JournalGate gate(connection);
            const bool removed = gate.remove(id, text, version);
            failure = gate.lastFailure();
            return removed;
        },
        error);
    if (kind)
        *kind = ok ? GateFailure::None : failure;
    return ok;
}
