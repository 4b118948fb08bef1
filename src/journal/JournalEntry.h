#pragma once

#include "data/Database.h"
#include "data/Money.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QPair>
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
    QVariant progressivo; // null for a new entry
    int tipo = 0;         // 0 normal, 1 opening, -1 closing
    QVariant attached;    // file name inside "allegati", null for none

    bool operator==(const EntryHeader &) const = default;
};

struct JournalEntry {
    EntryHeader header;
    QList<EntryRow> rows;

    bool operator==(const JournalEntry &) const = default;
};

// The caption of an entry type in the editor ("Tipo Reg.: Normale"); empty for an unknown code.
QString entryTypeCaption(int tipo);

// Debit-only rows add their amount, credit-only rows subtract it; rows with both sides or none
// add nothing.
Money imbalanceOf(const QList<EntryRow> &rows);

// The message that refuses a row, empty when the row may be committed.
QString ValidateRow(const EntryRow &row);

// The message that refuses to save the rows (no rows, imbalance, memorandum accounts mixed with
// ordinary ones), empty when they may be saved. A database failure gives an empty message and
// the engine's text in *error.
QString ValidateEntry(const Archive &archive, const QList<EntryRow> &rows, QString *error);

// Sub-accounts as (id, description), sorted by description, for the rows' value lists.
QList<QPair<QVariant, QString>> LoadSubAccountLists(const Archive &archive, QString *error);

// The entry with its rows in row order; nothing when it no longer exists (then *error says so)
// or on a database failure.
std::optional<JournalEntry> loadEntry(const Archive &archive, qint64 id, QString *error);

// A new entry modelled on another: the model's rows (accounts, amounts, texts, order), the
// working date, type 0, no number and no attachment. A model id of 0 gives a blank entry.
std::optional<JournalEntry> newEntry(const Archive &archive, qint64 modelId,
                                     const QDate &workingDate, QString *error);

// Writes the entry in one transaction: header (a new one gets the fiscal year's highest number
// plus one), then its rows numbered 10, 20, 30 ... in order: new rows added, changed rows
// updated, rows no longer present deleted. On success the entry carries the ids and number it
// was given; on failure nothing is kept, the entry is unchanged and *error holds the reason
// (also when another user deleted the entry meanwhile).
bool saveEntry(const Archive &archive, JournalEntry &entry, const QDate &yearStart,
               const QDate &yearEnd, QString *error);

// Deletes the entry (its rows go with it). A missing entry is reported as a failure.
bool deleteEntry(const Archive &archive, qint64 id, QString *error);

// The stored name of an attachment: date and time "yyyyMMddHHnnss", the hundredths of the
// second, then the chosen file's extension with its dot.
QString attachmentName(const QDateTime &moment, const QString &chosenFile);
