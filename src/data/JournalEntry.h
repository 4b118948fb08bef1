#pragma once

#include "data/Database.h"
#include "data/EntryKind.h"
#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

#include <optional>

// The longest text of an entry or of a row: what every export (a spreadsheet cell among them)
// writes whole.
constexpr qsizetype EntryTextLength = 255;

// The most the rows of an archive may add up to, each row counted once for each side it fills.
// Every total kept or computed from them (a row, an entry, a month, a year, a balance, the
// weighted sums that verify the monthly totals) then stays an exact 64-bit integer.
constexpr Money ArchiveAmountLimit = Money::fromUnits(1'000'000'000'000'000);

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
    QVariant progressivo; // null for a new entry
    EntryKind kind = EntryKind::Ordinary;
    QVariant attached;         // file name inside "allegati", null for none
    QVariant descrizione = {}; // header text, only on the closing of the income statement
    qint64 version = 0;        // the stored version it was read at; every write raises it

    bool operator==(const EntryHeader &) const = default;
};

struct JournalEntry {
    EntryHeader header;
    QList<EntryRow> rows;

    bool operator==(const JournalEntry &) const = default;
};

// The rows' amounts as they add up toward ArchiveAmountLimit: once for each side a row fills.
Money amountsOf(const QList<EntryRow> &rows);

// Whether a row's account cell names a sub-account (null and 0 name none).
bool namesSubAccount(const QVariant &cell);

// Debit-only rows add their amount, credit-only rows subtract it; rows with both sides or none
// add nothing.
Money imbalanceOf(const QList<EntryRow> &rows);

// Why a row may not be stored, as a clause ("importo zero: ..."): an amount of zero or with
// fractions of a cent, the same sub-account on both sides, a text longer than EntryTextLength;
// empty when it may.
QString rowRuleRefusal(const EntryRow &row);

// The memorandum sub-accounts among ids (every one of them when ids is nullopt), read on the
// connection; nothing on a database failure.
std::optional<QSet<qint64>> memorandumAmong(const Connection &connection,
                                            const std::optional<QSet<qint64>> &ids, QString *error);

// The message that refuses the rows (no rows, a row's rule, imbalance, memorandum accounts mixed
// with ordinary ones), read on the connection; empty when they may be written. A database failure
// gives an empty message and the engine's text in *error.
QString entryRefusal(const Connection &connection, const QList<EntryRow> &rows, QString *error);
// The same given the archive's memorandum sub-accounts (those among the rows' suffice).
QString entryRefusal(const QList<EntryRow> &rows, const QSet<qint64> &memorandum);

// The same rule as imbalanceOf for stored rows, in SQL: the amount a row of the table (or alias)
// rows puts on its debit side and on its credit side, 0 on a side it does not fill.
QString debitAmountSql(const QString &rows);
QString creditAmountSql(const QString &rows);
