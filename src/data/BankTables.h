#pragma once

#include "data/Database.h"

#include <QStringList>

// The tables of what is imported: of statements from the bank, the fingerprint of every movement
// booked (so that no movement is booked twice; deleting its entry frees it), the user's rules for
// the counterpart and the saved layouts of CSV files; of electronic invoices, every invoice
// booked and the tax numbers of the counterparts' sub-accounts.
const QStringList &bankTablesSchema();

// The names of the tables: each is changed only through its own window or the import.
const QStringList &bankTableNames();

// Whether the archive has the tables: one made before them has none until first written to, and
// reads as having no rule, profile or imported movement.
bool hasBankTables(const QSqlDatabase &database);

// Whether the archive has this one of the tables (an archive of an earlier version, read
// without being opened for writing, lacks the newer ones).
bool hasBankTable(const QSqlDatabase &database, const QString &table);

// Adds the tables to an archive made before them, inside the caller's transaction.
bool ensureBankTables(const Connection &connection, QString *error);

// The IBAN as banks compare it: without spaces, in capitals.
QString normalizedIban(const QString &iban);

// The IBAN kept for a bank sub-account; empty when none is.
QString bankIban(const QSqlDatabase &database, qint64 subAccount, QString *error);
// Keeps the IBAN of a bank sub-account (an empty one forgets it); a malformed IBAN, or one
// another sub-account keeps, is refused with an Italian message.
bool setBankIban(const Connection &connection, qint64 subAccount, const QString &iban,
                 QString *error);
// Why the text is no IBAN (its country, length or check digits); empty when it is one.
QString ibanProblem(const QString &iban);
