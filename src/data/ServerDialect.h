#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <optional>

// The program writes its SQL once, in words both engines read alike. What really differs between
// a file and a PostgreSQL server archive is written here for the server: table definitions,
// identity, locks and the few functions its schema's checks use.

enum class Engine { Sqlite, Postgres };

Engine engineOf(const QSqlDatabase &database);
inline bool isServer(const QSqlDatabase &database)
{
    return engineOf(database) == Engine::Postgres;
}

// A CREATE TABLE of the program's schema with the server's types: identity keys, 64-bit
// integers (money stays in ten-thousandths), dates as ISO text.
QString serverTableDefinition(const QString &createTable);

// A statement of the program's schema for the engine: a table definition as the engine wants
// it, anything else as written; runDefinition runs it on the query's engine.
QString definitionFor(Engine engine, const QString &statement);
bool runDefinition(QSqlQuery &query, const QString &statement, QString *error);

// The join that reads its left table first: SQLite plans "CROSS JOIN" in the written order, a
// server plans every join itself and wants a plain JOIN.
QString joinInWrittenOrder(const QSqlDatabase &database);

// The server's italiano(text), the key that sorts texts as the program does.
const QString &italianOrderFunction();

// The functions that come first in a server archive: its date check, and the letters' order.
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

// Ids for count new rows of the table, ascending, that no other writer will be given; the caller
// inserts the rows with them inside its write transaction. Nothing on failure.
std::optional<QList<qint64>> reserveIds(const QSqlDatabase &database, const QString &table,
                                        int count, QString *error);

// Moves every table's id sequence past the highest id its rows hold, so that an id another
// tool wrote never breaks a later insert; nothing on SQLite, whose ids follow the rows.
bool keepIdsAheadOfRows(const QSqlDatabase &database, QString *error);

// The server's account cards' view: the same lines as the file's, with the other side of each
// entry read once per entry (a server runs the file's view's per-line lookups many times slower).
const QString &serverAccountCardsView();
