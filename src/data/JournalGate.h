#pragma once

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/Money.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// One row of a journal entry: a debit sub-account, a credit sub-account or both (ids, null for
// no account), one amount and a text. id is 0 for a row not yet written.
struct EntryRow {
    qint64 id = 0;
    QVariant contodare;
    QVariant contoavere;
    Money importo;
    QString descrizione;

    bool operator==(const EntryRow &) const = default;
};

// The header of a journal entry. id is 0 until the entry is first written.
struct EntryHeader {
    qint64 id = 0;
    QDate data;
    QVariant progressivo;      // null for a new entry
    int tipo = 0;              // 0 normal, 1 opening, -1 closing
    QVariant attached;         // file name inside "allegati", null for none
    QVariant descrizione = {}; // header text, only on the closing of the income statement

    bool operator==(const EntryHeader &) const = default;
};

struct JournalEntry {
    EntryHeader header;
    QList<EntryRow> rows;

    bool operator==(const JournalEntry &) const = default;
};

// Whether a row's account cell names a sub-account (null and 0 name none).
bool namesSubAccount(const QVariant &cell);

// Debit-only rows add their amount, credit-only rows subtract it; rows with both sides or none
// add nothing.
Money imbalanceOf(const QList<EntryRow> &rows);

// The message that refuses the rows (no rows, imbalance, memorandum accounts mixed with
// ordinary ones), read on the connection; empty when they may be written. A database failure
// gives an empty message and the engine's text in *error.
QString entryRefusal(const Connection &connection, const QList<EntryRow> &rows, QString *error);

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

    // Checks the entry (a date printed in definitiva on the journal book, or in a closed fiscal
    // year, refuses it, before or after the change), then writes its header and its rows numbered
    // 10, 20, 30 ... in order: new rows added, changed rows updated, rows no longer present
    // deleted. A new entry is numbered the highest number of numberingYear plus one; with a year
    // without dates it keeps the number it carries (null for entries a renumbering will number). On
    // success the entry carries the ids it was given. A refused entry gives false with the rule's
    // message in *error, also when the entry to change no longer exists; *refused (when given)
    // then tells such a refusal from a failure of the archive.
    bool write(JournalEntry &entry, const FiscalYear &numberingYear, QString *error,
               bool *refused = nullptr);
    // Deletes an entry with its rows. A missing entry, or one printed in definitiva or of a
    // closed year, is a failure.
    bool remove(qint64 id, QString *error);
    // Deletes every header left without rows, whatever its date.
    bool removeHeadersWithoutRows(QString *error);

private:
    // The refusal of an entry printed in definitiva or of a closed year, before or after the
    // change.
    QString lockRefusal(const EntryHeader &header, QString *error) const;
    // Why the stored entry may not change or go, under the gate's rule for closed years.
    QString storedRefusal(qint64 id, QString *error) const;
    // Why an entry may not be dated date: a printed period, or a closed year under the rule.
    QString dateRefusal(const QDate &date, bool newEntry, QString *error) const;
    QString closedYearRefusal(const QDate &date, QString *error) const;
    std::optional<qint64> highestNumber(const FiscalYear &year, QString *error);
    bool writeHeader(EntryHeader &header, const FiscalYear &numberingYear, QString *error);
    bool writeRows(qint64 entryId, QList<EntryRow> &rows, QString *error);

    const Connection &m_connection;
    ClosedYearRule m_closedYears;
    // What this gate last read or wrote of each year (by its start): the highest number and
    // whether the year is closed. The caller's transaction keeps other writers out, so a long
    // run of new entries reads each once; a change that could alter them forgets them.
    QHash<QDate, qint64> m_highestNumber;
    mutable QHash<QDate, bool> m_closedYearsSeen;
    void forgetYears();
};

// The gate's write and deletion of one entry, each in a write transaction of its own on the
// archive. On failure nothing is kept and the entry is unchanged.
bool writeEntry(const Archive &archive, JournalEntry &entry, const FiscalYear &numberingYear,
                QString *error);
bool removeEntry(const Archive &archive, qint64 id, QString *error);
