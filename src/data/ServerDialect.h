#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

// The program writes its SQL once, in SQLite's words. On a PostgreSQL server archive the few
// differences are bridged here and nowhere else: a translation of each statement on its way
// to the server, the table definitions, and a set of functions and a catalogue view created in
// the server database that answer like SQLite's own.

enum class Engine { Sqlite, Postgres };

Engine engineOf(const QSqlDatabase &database);
inline bool isServer(const QSqlDatabase &database)
{
    return engineOf(database) == Engine::Postgres;
}

// A statement as the server reads it: mixed-case names quoted (the server would fold them to
// lower case), GLOB as a regular expression, LIKE without regard to case as in SQLite, "IS" and
// "IS NOT" between values as null-safe comparisons, "CROSS JOIN ... ON" (SQLite's order hint)
// as a plain JOIN, a name for every unnamed table read from a parenthesis, SQLite's checks of
// its own file answered as sound, and a CREATE TABLE as serverTableDefinition gives it.
QString serverStatement(const QString &sql);

// A CREATE TABLE of the program's schema with the server's types: identity keys, 64-bit
// integers (money stays in ten-thousandths), dates as ISO text.
QString serverTableDefinition(const QString &createTable);

// The functions, collation and catalogue view that come first in a server archive.
const QStringList &serverCompatibilitySchema();

// The locks of a server archive, held to the end of the transaction; nothing on SQLite, where
// a write transaction holds the whole file already. Writers share the archive; an operation
// on the whole archive (year-end, renumbering, final print, table maintenance) holds it alone;
// entry numbers are taken under a lock of their fiscal year.
bool lockArchiveShared(const QSqlDatabase &database, QString *error);
bool lockWholeArchive(const QSqlDatabase &database, QString *error);
bool lockFiscalYear(const QSqlDatabase &database, int year, QString *error);
// Imports into one bank, one after the other: the second sees what the first booked as already
// imported. Taken before any year's lock.
bool lockBankStatements(const QSqlDatabase &database, qint64 bank, QString *error);

// Whether a server database has no table of its own yet, so that an archive may be made in it.
std::optional<bool> serverDatabaseIsEmpty(const QSqlDatabase &database, QString *error);

// The highest id a table ever gave (a deleted row's included: ids are never reused), and
// the same set on a copy; a table without generated ids answers nothing.
std::optional<qint64> highestIdGiven(const QSqlDatabase &database, const QString &table);
bool setHighestIdGiven(const QSqlDatabase &database, const QString &table, qint64 id,
                       QString *error);

// A server gives ids from a sequence that an id written by hand does not move: moved past id,
// the table's next insert never collides with it. Nothing on SQLite, whose ids follow the rows.
bool keepIdsPast(const QSqlDatabase &database, const QString &table, qint64 id, QString *error);

// Moves every table's id sequence past the highest id its rows hold, so that an id another
// tool wrote never breaks a later insert; nothing on SQLite, whose ids follow the rows.
bool keepIdsAheadOfRows(const QSqlDatabase &database, QString *error);

// The server's account cards' view: the same lines as the file's, with the other side of each
// entry read once per entry (a server runs the file's view's per-line lookups many times slower).
const QString &serverAccountCardsView();
