#pragma once

#include "data/Database.h"
#include "data/EntryKind.h"
#include "data/FiscalEnvironment.h"

#include <QDate>
#include <QString>

#include <optional>

// A fiscal year that holds its closing entries is closed: its entries no longer change until
// the year-end is undone (Strumenti → Riapri esercizio).

// The archive's first month of the fiscal year (parameter StartMonth, 1 when missing). Nothing
// with the reason in *error when the stored value is not a month or cannot be read.
std::optional<int> archiveStartMonth(const QSqlDatabase &database, QString *error);

// The fiscal year of the archive that contains date.
std::optional<FiscalYear> archiveYearContaining(const QSqlDatabase &database, const QDate &date,
                                                QString *error);

// Whether the fiscal year holds entries of the type (-1 closing, 1 opening).
std::optional<bool> holdsEntriesOfType(const QSqlDatabase &database, const FiscalYear &year,
                                       EntryKind kind, QString *error);

// A period as the messages show it: "dal 01/01/2026 al 31/12/2026".
QString shownPeriod(const QDate &start, const QDate &end);

// The sentence that refuses a change to an entry of a closed year.
QString closedYearMessage(const FiscalYear &year);

// The refusal of a write that touches an entry dated date when its year is closed, else empty.
// A database failure gives an empty text and *error.
QString closedDateRefusal(const QSqlDatabase &database, const QDate &date, QString *error);
// The same for the stored entry with that id (an entry that does not exist is not refused).
QString closedEntryRefusal(const QSqlDatabase &database, qint64 entryId, QString *error);

// Why an entry dated date, or the stored entry, can no longer change: printed in definitiva on
// the journal book, or of a closed year; empty when it can. A database failure gives an empty
// text and *error.
QString frozenDateRefusal(const QSqlDatabase &database, const QDate &date, QString *error);
QString frozenEntryRefusal(const QSqlDatabase &database, qint64 entryId, QString *error);
