#pragma once

#include "data/JournalGate.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

#include <optional>

// The caption of an entry type in the editor ("Tipo Reg.: Normale"); empty for an unknown code.
QString entryTypeCaption(EntryKind kind);

// The message that refuses a row, empty when the row may be committed.
QString validateRow(const EntryRow &row);

// The message that refuses to save the rows (no rows, imbalance, memorandum accounts mixed with
// ordinary ones), empty when they may be saved. A database failure gives an empty message and
// the engine's text in *error.
QString validateEntry(const Archive &archive, const QList<EntryRow> &rows, QString *error);

// Sub-accounts as (id, description), sorted by description, for the rows' value lists.
QList<QPair<QVariant, QString>> subAccountChoices(const Archive &archive, QString *error);

// The entry with its rows in row order; nothing when it no longer exists (then *error says so)
// or on a database failure.
std::optional<JournalEntry> loadEntry(const Archive &archive, qint64 id, QString *error);

// Why the stored entry can no longer change (printed in definitiva on the journal book, or of a
// closed fiscal year), else empty; a database failure gives an empty text and *error.
QString entryLockRefusal(const Archive &archive, qint64 id, QString *error);

// A new entry modelled on another: the model's rows (accounts, amounts, texts, order), the
// working date, type 0, no number and no attachment. A model id of 0 gives a blank entry.
std::optional<JournalEntry> newEntry(const Archive &archive, qint64 modelId,
                                     const QDate &workingDate, QString *error);

// Writes the entry through the journal gate in one transaction on the archive; a new entry gets
// the fiscal year's highest number plus one. On failure nothing is kept, the entry is unchanged,
// *error holds the reason and *kind (when given) tells a refusal, a change by another user since
// the entry was read, and a failure of the archive apart.
bool saveEntry(const Archive &archive, JournalEntry &entry, const QDate &yearStart,
               const QDate &yearEnd, QString *error, GateFailure *kind = nullptr);

// Deletes the entry (its rows go with it) while it is still the version of header. A missing
// entry, or one another user changed meanwhile, is reported as a failure.
bool deleteEntry(const Archive &archive, const EntryHeader &header, QString *error,
                 GateFailure *kind = nullptr);

// The stored name of an attachment: date and time "yyyyMMddHHnnss", the hundredths of the
// second, then the chosen file's extension with its dot.
QString attachmentName(const QDateTime &moment, const QString &chosenFile);
