#pragma once

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/JournalEntry.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

// Why a write or deletion of the gate failed.
enum class GateFailure {
    None,
    Refused,        // a rule of the books refused it
    ChangedByOther, // the stored entry is no longer the version the caller read
    Gone,           // the stored entry was deleted meanwhile
    Archive,        // the archive failed
};

// The sentence that refuses a change to an entry another user changed or deleted meanwhile.
QString changedByOtherMessage();

// The one way journal entries are created, changed and deleted. It works on a connection whose
// write transaction the caller holds, so several entries can be written all or none; after a
// failure the caller rolls back, since what was written before it stays in the transaction.
class JournalGate {
public:
    // Whether entries of a closed fiscal year are refused; only the year-end and its undoing
    // write there.
    enum class ClosedYearRule { Refuse, Allow };

    explicit JournalGate(const Connection &connection,
                         ClosedYearRule closedYears = ClosedYearRule::Refuse);

    // The stored entry with its rows in row order, and the version it is at; nothing when it
    // does not exist (*error then says so) or on a database failure.
    std::optional<JournalEntry> read(qint64 id, QString *error) const;

    // Checks the entry (a date printed in definitiva on the journal book, or in a closed fiscal
    // year, refuses it, before or after the change; so do amounts that would take the archive
    // beyond ArchiveAmountLimit), then writes its header and its rows numbered 10, 20, 30 ... in
    // order: new rows added, changed rows updated, rows no longer present deleted. A stored entry
    // is changed only while it is still the version the entry carries. A new entry is numbered
    // the highest number of numberingYear plus one; with a year without dates it keeps the number
    // it carries (null for entries a renumbering will number). On success the entry carries the
    // ids and the version it was given. On failure *error has the rule's message or the engine's
    // text, and lastFailure() tells which; nothing of the entry was written when it was refused.
    bool write(JournalEntry &entry, const FiscalYear &numberingYear, QString *error);
    // Writes new entries as write() does, each numbered in the year of numberingYears at its
    // index, in a few statements for them all: each is checked in turn, and those checked go in
    // together. Gives the index of the entry that failed (then *error and lastFailure() tell
    // why, and the caller rolls back), nothing when all were written. The entries carry their
    // ids and numbers; their rows' ids are not read back.
    std::optional<qsizetype> writeNew(QList<JournalEntry> &entries,
                                      const QList<FiscalYear> &numberingYears, QString *error);
    // The same, but an entry the rules refuse is left out, with the reason at its index in
    // *refusals, and the others go in. Fails (and the caller rolls back) only when the archive
    // does.
    bool writeNewLeavingOutRefused(QList<JournalEntry> &entries,
                                   const QList<FiscalYear> &numberingYears, QStringList *refusals,
                                   QString *error);
    // Takes the numbering of the years, the earliest first, before writing entries of several
    // years in any order: two writers then never wait for each other's years in opposite order.
    bool takeNumbering(QList<FiscalYear> years, QString *error);
    // Deletes an entry with its rows, when given a version only while it is still that one. A
    // missing entry, or one printed in definitiva or of a closed year, is a failure.
    bool remove(qint64 id, QString *error, std::optional<qint64> version = std::nullopt);
    // Deletes every header dated first..last left without rows.
    bool removeHeadersWithoutRows(const QDate &first, const QDate &last, QString *error);
    // Numbers the entries dated from first to last 1, 2, 3 ... by date and id; refused when that
    // would change the number of an entry printed in definitiva.
    bool renumber(const QDate &first, const QDate &last, QString *error);

    // Table maintenance's own edits of the journal tables, one stored row at a time. The row is
    // written as typed (an insert when id is null; values and columns as the table lists them),
    // or deleted; then every entry it touched is checked as a save is (it still has rows, they
    // balance and keep the rules of a row and of the archive's totals) and, before and after,
    // must lie outside closed years and periods printed in definitiva. A refusal names the entry;
    // the caller rolls back. On success a new row's id is in *values.
    enum class Table { Headers, Rows };
    bool writeTableRow(Table table, const QStringList &columns, const QVariant &id,
                       QVariantList *values, QString *error);
    bool removeTableRow(Table table, qint64 id, QString *error);

    GateFailure lastFailure() const { return m_lastFailure; }

private:
    // The refusal of an entry printed in definitiva or of a closed year, before or after the
    // change.
    QString lockRefusal(const EntryHeader &header, QString *error) const;
    // Why the stored entry may not change or go, under the gate's rule for closed years.
    QString storedRefusal(qint64 id, QString *error) const;
    // Why an entry may not be dated date: a printed period, or a closed year under the rule.
    QString dateRefusal(const QDate &date, bool newEntry, QString *error) const;
    QString closedYearRefusal(const QDate &date, QString *error) const;
    // The fiscal year of a date, from the archive's start month read once per gate.
    std::optional<FiscalYear> yearContaining(const QDate &date, QString *error) const;
    // Why rows adding up to amount may not join the archive's rows.
    QString amountsRefusal(Money amount, QString *error);
    std::optional<qint64> highestNumber(const FiscalYear &year, QString *error);
    // Checks an entry as write() does before writing it.
    bool admit(const JournalEntry &entry, QString *error);
    // writeNew(), with refused entries left out when refusals is given.
    std::optional<qsizetype> writeNewEntries(QList<JournalEntry> &entries,
                                             const QList<FiscalYear> &numberingYears,
                                             QStringList *refusals, QString *error);
    bool insertNew(const QList<JournalEntry *> &entries, const QList<FiscalYear> &numberingYears,
                   QString *error);
    bool writeHeader(EntryHeader &header, const FiscalYear &numberingYear, QString *error);
    bool writeRows(qint64 entryId, bool newEntry, QList<EntryRow> &rows, QString *error);
    // A failure of kind, with its text.
    bool failWith(GateFailure kind, const QString &text, QString *error);
    // A change of table maintenance: the id of the row it leaves (null for none), or nothing
    // with the engine's text.
    using TableChange = std::function<std::optional<QVariant>(QString *)>;
    bool maintainTableRow(Table table, const QVariant &id, const TableChange &change,
                          QString *error);
    // The stored entries a maintained row belongs to, before or after its change.
    std::optional<QList<qint64>> entriesOfTableRow(Table table, const QVariant &id,
                                                   QString *error) const;
    // Why the stored entry, as the maintenance left it, may not stay so.
    QString maintainedEntryRefusal(qint64 entryId, QString *error);
    bool raiseVersions(const QList<qint64> &entryIds, QString *error);

    const Connection &m_connection;
    ClosedYearRule m_closedYears;
    GateFailure m_lastFailure = GateFailure::None;
    // The inserts of a new entry's header and rows, prepared once per gate: a long run of new
    // entries (a post, an import) then sends each to a server in one round trip.
    QSqlQuery m_headerInsert;
    QSqlQuery m_rowInsert;
    // The archive's rows as they add up toward ArchiveAmountLimit, read once per gate.
    std::optional<qint64> m_amountsSoFar;
    // What this gate last read or wrote of each year (by its start): the highest number and
    // whether the year is closed. The caller's transaction keeps other writers out, so a long
    // run of new entries reads each once; a change that could alter them forgets them.
    QHash<QDate, qint64> m_highestNumber;
    mutable QHash<QDate, bool> m_closedYearsSeen;
    // Of each year (by its start), the last day printed in definitiva, if any.
    mutable QHash<QDate, std::optional<QDate>> m_printedUntil;
    mutable std::optional<int> m_startMonth;
    // The memorandum sub-accounts, read once per gate.
    std::optional<QSet<qint64>> m_memorandum;
    void forgetYears();
};

// The gate's write and deletion of one entry, each in a write transaction of its own on the
// archive. On failure nothing is kept, the entry is unchanged and *kind (when given) tells why.
bool writeEntry(const Archive &archive, JournalEntry &entry, const FiscalYear &numberingYear,
                QString *error, GateFailure *kind = nullptr);
bool removeEntry(const Archive &archive, qint64 id, std::optional<qint64> version, QString *error,
                 GateFailure *kind = nullptr);
