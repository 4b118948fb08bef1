#pragma once

#include <QSqlDatabase>
#include <QString>

#include <optional>

#include "data/EngineDialect.h"

class Connection;

// Debit and credit totals of each sub-account by month and entry type (`saldi_mese`), kept by
// triggers on the entry tables, so that a balance over many years reads a few thousand rows
// instead of every entry row. The entries stay the only truth: the table is rebuilt from them
// whenever it is created.

// The table's name: table maintenance leaves it out, since nobody types derived totals.
QString monthlyTotalsTable();

// The statements that create the table and its triggers: SQLite's triggers, or the server's
// trigger functions doing the same.
const QStringList &monthlyTotalsSchema(Engine engine = Engine::Sqlite);

// Whether the archive keeps the monthly totals (an archive of an earlier version that was only
// opened read-only may not).
bool hasMonthlyTotals(const QSqlDatabase &database);

// Creates the table and its triggers when missing and fills it from the entries; on a connection
// inside the caller's transaction.
bool ensureMonthlyTotals(const Connection &connection, QString *error);

// Whether the kept totals equal what the entry rows add up to, and every trigger that keeps them
// is there. A fast aggregate, not a month-by-month comparison: the sums of each side, and a
// checksum of the amounts weighted by sub-account, month and entry type, over the whole file.
// Nothing with the engine's text on failure.
std::optional<bool> monthlyTotalsAgree(const QSqlDatabase &database, QString *error);

// Makes the table and its triggers again from the entries, inside the caller's transaction.
bool rebuildMonthlyTotals(const Connection &connection, QString *error);

// Drops the table and its triggers, so that rows can be copied in fast (a copy of an archive);
// ensureMonthlyTotals makes them again.
bool dropMonthlyTotals(const Connection &connection, QString *error);

// Rebuilds the totals when they do not agree with the entries (or a trigger is missing), inside
// the caller's write transaction, whose commit then leaves them trusted.
bool repairMonthlyTotals(const Connection &connection, QString *error);

// Whether balances may read the kept totals of this database: they exist and agree with the
// entries. Verified once per state of the file: the program's own commits keep it verified,
// while a write by anyone else (another user, another tool) has it verified again.
bool monthlyTotalsTrusted(const QSqlDatabase &database);
