#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

// The program writes its SQL once, in words both engines read alike. What really differs between
// a file and a PostgreSQL server archive is each engine's own dialect, one source file per engine
// (FileDialect.cpp, ServerDialect.cpp): table definitions, identity, the catalogue, transactions
// and locks, dates, names and the bulk paths. A dialect only writes statements; the functions
// below run them on the connection's engine.

enum class Engine { Sqlite, Postgres };

struct SqlStatement {
    QString sql;
    QVariantList values;
};

class EngineDialect {
public:
    virtual ~EngineDialect() = default;

    // A statement of the program's schema as the engine wants it: a table definition with the
    // engine's types and identity, anything else as written.
    virtual QString definition(const QString &statement) const = 0;
    // The functions an archive's schema needs before its tables.
    virtual QStringList functionsFirst() const = 0;
    // The account cards' view the engine reads fastest, given the one the schema writes.
    virtual QString accountCardsView(const QString &written) const = 0;
    // Drops a trigger of the program's (a server's goes with its function).
    virtual QString dropTrigger(const QString &name) const = 0;
    // The condition a column of dates meets when it holds a date of the calendar.
    virtual QString calendarDate(const QString &column) const = 0;
    // The join that reads its left table first.
    virtual QString joinInWrittenOrder() const = 0;
    // A name of the program's as the engine keeps it (a server folds unquoted names).
    virtual QString storedName(const QString &name) const = 0;

    // The catalogue: one row if the schema holds a table, index, view or trigger of that name.
    virtual SqlStatement objectExists(const QString &type, const QString &name) const = 0;
    // The names of the schema's triggers.
    virtual QString triggerNames() const = 0;
    // The names of a table's columns, in order.
    virtual SqlStatement tableColumns(const QString &table) const = 0;
    // A column's declared type ("VARCHAR(100)").
    virtual SqlStatement columnType(const QString &table, const QString &column) const = 0;
    // Type, name, definition and whether an extension owns it, of every trigger, view and index
    // of the schema (not those behind keys and constraints).
    virtual QString schemaObjects() const = 0;
    // How many tables the database holds.
    virtual QString tableCount() const = 0;

    // Begins a transaction that writes, and one that reads a snapshot; the snapshot is taken by
    // its first read.
    virtual QString beginWrite() const = 0;
    virtual QString beginSnapshot() const = 0;
    virtual QString firstRead() const = 0;
    // The locks held to the end of the transaction; none where a write transaction holds the
    // whole archive already.
    virtual std::optional<SqlStatement> archiveLock(bool whole) const = 0;
    virtual std::optional<SqlStatement> fiscalYearLock(int year) const = 0;
    virtual std::optional<SqlStatement> bankStatementsLock(qint64 bank) const = 0;

    // Whether a table's next id always follows its rows' highest, whoever wrote them.
    virtual bool idsFollowRows() const = 0;
    // The highest id a table ever gave, and how to set it.
    virtual SqlStatement highestIdGiven(const QString &table) const = 0;
    virtual QList<SqlStatement> setHighestIdGiven(const QString &table, qint64 id) const = 0;
    // Rows of count ids for new rows of the table, ascending, that no other writer gets.
    virtual SqlStatement reserveIds(const QString &table, int count) const = 0;
    // The tables whose ids come from a generator.
    virtual QString tablesWithIds() const = 0;

    // Run before a write of many rows, and after copying whole tables in.
    virtual QStringList beforeManyRows() const = 0;
    virtual QStringList afterTablesCopied(const QStringList &tables) const = 0;
};

const EngineDialect &fileDialect();
const EngineDialect &serverDialect();
const EngineDialect &dialectFor(Engine engine);
const EngineDialect &dialectOf(const QSqlDatabase &database);

Engine engineOf(const QSqlDatabase &database);
inline bool isServer(const QSqlDatabase &database)
{
    return engineOf(database) == Engine::Postgres;
}

// Runs a statement of the schema on the query's engine, as the engine wants it.
bool runDefinition(QSqlQuery &query, const QString &statement, QString *error);
// Runs each statement of the dialect in order.
bool runStatements(const QSqlDatabase &database, const QStringList &statements, QString *error);

// An archive's locks. Writers share the archive; an operation on the whole archive (year-end,
// renumbering, final print, table maintenance) holds it alone; entry numbers are taken under a
// lock of their fiscal year; imports into one bank go one after the other, so that the second
// sees what the first booked as already imported (taken before any year's lock).
bool lockArchiveShared(const QSqlDatabase &database, QString *error);
bool lockWholeArchive(const QSqlDatabase &database, QString *error);
bool lockFiscalYear(const QSqlDatabase &database, int year, QString *error);
bool lockBankStatements(const QSqlDatabase &database, qint64 bank, QString *error);

// Whether the database has no table yet, so that an archive may be made in it.
std::optional<bool> databaseIsEmpty(const QSqlDatabase &database, QString *error);

// The highest id a table ever gave (a deleted row's included: ids are never reused), and the
// same set on a copy; a table without generated ids answers nothing.
std::optional<qint64> highestIdGiven(const QSqlDatabase &database, const QString &table);
bool setHighestIdGiven(const QSqlDatabase &database, const QString &table, qint64 id,
                       QString *error);

// An id written by hand does not move a server's sequence: moved past id, the table's next
// insert never collides with it.
bool keepIdsPast(const QSqlDatabase &database, const QString &table, qint64 id, QString *error);

// Ids for count new rows of the table, ascending, that no other writer will be given; the caller
// inserts the rows with them inside its write transaction. Nothing on failure.
std::optional<QList<qint64>> reserveIds(const QSqlDatabase &database, const QString &table,
                                        int count, QString *error);

// Moves every table's id sequence past the highest id its rows hold, so that an id another
// tool wrote never breaks a later insert.
bool keepIdsAheadOfRows(const QSqlDatabase &database, QString *error);
