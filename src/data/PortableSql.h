#pragma once

#include <QString>

// The program's statements read the same on a file and on a server. A few constructs do not:
// SQLite's GLOB, LIKE (its case rules), "IS" between values, rowid, typeof, LIMIT -1, its date
// modifiers ('+1 days', 'start of month'), a quoted name with capitals (the server folds the
// program's unquoted names to lower case), CROSS JOIN ... ON, and an unnamed query read as a
// table. Table definitions and other schema statements are each engine's own and not asked.

// What in a statement the two engines read differently; empty when nothing.
QString nonPortableConstruct(const QString &sql);

// Whether the statements are checked as they run: in the tests, which set
// TOVRIN_CHECK_PORTABLE_SQL.
bool portableSqlChecked();

// Where statements are checked, refuses one that the two engines read differently: false, with
// the reason in *error.
bool passesPortableCheck(const QString &sql, QString *error);
