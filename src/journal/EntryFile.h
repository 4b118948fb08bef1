#pragma once

#include "data/Database.h"
#include "data/JournalGate.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Entries written by other programs, as a JSON array in the archive's own words:
//   [{"data": "2026-03-01", "descrizione": "Quote di marzo",
//     "righe": [{"dare": 99, "importo": "300.00", "descrizione": "Quote di marzo"},
//               {"avere": "Quote associative annuali", "importo": "300.00",
//                "descrizione": "Quote di marzo"}]}]
// A row's sub-accounts are ids (numbers) or exact descriptions naming one sub-account only; an
// amount is a decimal text with a point and at most four decimals.

// The sub-account with the id, or the only one with exactly the description; nothing, with the
// reason in *problem (no such sub-account, several with the description, the engine's text).
std::optional<qint64> subAccountWithId(const Connection &connection, qint64 id, QString *problem);
std::optional<qint64> subAccountWithDescription(const Connection &connection, const QString &text,
                                                QString *problem);
// A sub-account named on the command line: digits are its id, any other text its description.
std::optional<qint64> subAccountNamed(const Connection &connection, const QString &text,
                                      QString *problem);

// The entries of the file, their sub-accounts looked up on the connection. Nothing, with an
// Italian message naming the entry and row (counted from 1), when the file is not such an array
// or names what the archive does not have.
std::optional<QList<JournalEntry>> readEntryFile(const Connection &connection,
                                                 const QByteArray &json, QString *error);

// Books the entries through the journal gate, each checked as a save from the editor is and
// numbered in the fiscal year of its own date, all in one transaction: every one or none. With
// dryRun everything is checked and nothing kept. On success the entries carry their ids and
// numbers; a refusal names the entry ("Registrazione 2: ...").
bool postEntries(const Archive &archive, QList<JournalEntry> &entries, bool dryRun, QString *error);
