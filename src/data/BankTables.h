#pragma once

#include "data/Database.h"

#include <QStringList>

// The tables of statements imported from the bank: the fingerprint of every movement booked
// (so that no movement is booked twice; deleting its entry frees it), the user's rules for the
// counterpart and the saved layouts of CSV files.
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
