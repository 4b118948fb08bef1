#pragma once

#include <QSqlDatabase>
#include <QString>

class Connection;

// Debit and credit totals of each sub-account by month and entry type (`saldi_mese`), kept by
// triggers on the entry tables, so that a balance over many years reads a few thousand rows
// instead of every entry row. The entries stay the only truth: the table is rebuilt from them
// whenever it is created.

// The table's name: table maintenance leaves it out, since nobody types derived totals.
QString monthlyTotalsTable();

// The statements that create the table and its triggers, as resources/schema.sql has them.
const QStringList &monthlyTotalsSchema();

// Whether the archive keeps the monthly totals (an archive of an earlier version that was only
// opened read-only may not).
bool hasMonthlyTotals(const QSqlDatabase &database);

// Creates the table and its triggers when missing and fills it from the entries; on a connection
// inside the caller's transaction.
bool ensureMonthlyTotals(const Connection &connection, QString *error);
