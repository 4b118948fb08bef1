#pragma once

#include "data/ServerLocation.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>

struct sqlite3;

// An archive: its data folder and the database file inside it, or, when the folder holds a
// server.ini, the server database it names. Code that works on an archive is handed the one it
// works on; the program keeps the current one.
class Archive {
public:
    Archive() = default;
    explicit Archive(const QString &dataFolder);
    // The archive whose database is the file at databasePath (its folder is the file's).
    static Archive ofDatabase(const QString &databasePath);

    bool isNull() const { return m_databasePath.isEmpty(); }
    QString folder() const { return m_folder; }
    QString databasePath() const { return m_databasePath; }
    bool isOnServer() const { return m_server.has_value(); }
    const std::optional<ServerLocation> &server() const { return m_server; }
    // Where the data lives, as the status bar and info say it: the file or the server database.
    QString location() const;
    // The archive's own folders, beside its data.
    QString attachmentsFolder() const { return subFolder(u"allegati"); }
    QString templatesFolder() const { return subFolder(u"modelli"); }
    QString documentsFolder() const { return subFolder(u"documenti"); }

    friend bool operator==(const Archive &, const Archive &) = default;

private:
    QString subFolder(QStringView name) const;

    QString m_folder;
    QString m_databasePath;
    std::optional<ServerLocation> m_server;
};

// How long a connection waits for another user's lock before giving up (milliseconds). A few
// seconds by default; tests shorten it.
int busyTimeout();
void setBusyTimeout(int milliseconds);

// The database file inside a data folder.
QString databasePathFor(const QString &dataFolder);

enum class DatabaseFileKind { Missing, Sqlite, Access, Other };
// Tells from the file's first bytes what it holds. The bytes are read through SQLite's own file
// layer, never on a descriptor of the program's: on POSIX, closing any descriptor of a file drops
// every lock the process holds on it, and a connection of this process may be writing it.
DatabaseFileKind databaseFileKind(const QString &path);

// What this process found when it verified a derived state of a database (the monthly totals),
// valid while the file stays as it was then: the program's own commits carry it over (see
// Transaction), a write by anyone else voids it. A server database keeps its derived state with
// its own triggers for every user: what was found holds for the session.
void markVerified(const QSqlDatabase &database, quint32 changeCounter, bool sound);
std::optional<bool> verifiedState(const QSqlDatabase &database);
// Whether the program's own last commit left the file's derived state sound and nothing wrote
// to the file since: the program stamps each commit it knows sound with the change counter the
// commit gives the file, so a new process need not verify again what the last one kept.
bool stampedSound(const QSqlDatabase &database);
// SQLite's file change counter of the database, raised by every commit that changes it (in the
// rollback journal mode the program uses), read through the connection's own descriptor of the
// file; always 0 on a server, nothing when it cannot be read.
std::optional<quint32> changeCounter(const QSqlDatabase &database);

// The engine's own handle of a connection, when Qt's driver names its type as one of typeNames;
// null otherwise.
void *driverHandle(const QSqlDatabase &database, std::initializer_list<const char *> typeNames);
// SQLite's own handle of a connection to a file; null on a server.
sqlite3 *sqliteHandle(const QSqlDatabase &database);

// The size of the connection's database file and its bytes from offset (fewer at the end of the
// file), read on SQLite's own descriptor; nothing when it cannot be read.
std::optional<qint64> databaseFileSize(sqlite3 *connection);
std::optional<QByteArray> databaseFileBytes(sqlite3 *connection, qint64 offset, qint64 size);

// One private connection to an archive database: foreign keys on, a busy timeout so that a
// folder shared by several machines waits instead of failing at once, and the rollback
// journal. The file is never created: a missing file fails to open. No connection is shared:
// every operation opens its own and closes it when done.
class Connection {
public:
    enum class Mode { ReadWrite, ReadOnly };

    explicit Connection(const QString &databasePath, Mode mode = Mode::ReadWrite);
    // The archive's file, or its server database.
    explicit Connection(const Archive &archive, Mode mode = Mode::ReadWrite);
    explicit Connection(const ServerLocation &server, Mode mode = Mode::ReadWrite);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool isOpen() const { return m_error.isEmpty(); }
    // isOpen(), with the reason of a failure put into *error (when given).
    bool opened(QString *error) const;
    // The engine's text of the failure to open; empty when open.
    QString errorText() const { return m_error; }
    QSqlDatabase database() const;
    QSqlQuery query() const { return QSqlQuery(database()); }

private:
    void openSqlite(const QString &databasePath, Mode mode);
    void openServer(const ServerLocation &server, Mode mode);

    QString m_name;
    QString m_error;
    QString m_poolKey; // a server connection's database and mode
};

// The last failure of a query or a connection as the data layer passes it on: the Italian
// sentence of its kind (told from the engine's own code), then the engine's own words.
QString engineText(const QSqlQuery &query);
QString engineText(const QSqlDatabase &database);

// Prepares and runs a statement with positional bound values; on failure puts the engine's
// text into *error (when given) and returns false.
bool runSql(QSqlQuery &query, const QString &sql, const QVariantList &values = {},
            QString *error = nullptr);

// A reading statement's rows, one at a time: on a file through SQLite's own interface, which
// reads a large result about twice as fast as the driver, on a server through the driver.
// Values come as the engine gives them (whole numbers as qlonglong, texts as QString, NULL as an
// invalid value). With Texts::Shared every cell with an equal text shares one copy, which keeps a
// result held in memory small; a result read and let go does better without.
class RowCursor {
public:
    enum class Texts { Own, Shared };
    // Runs the statement; on failure errorText() says why and next() gives nothing.
    RowCursor(const QSqlDatabase &database, const QString &sql, const QVariantList &values,
              Texts texts = Texts::Own);
    ~RowCursor();
    RowCursor(const RowCursor &) = delete;
    RowCursor &operator=(const RowCursor &) = delete;

    const QStringList &fields() const;
    // The next row's values; false after the last row or on a failure.
    bool next(QVariantList *row);
    // The same into cells, one for each field.
    bool next(QVariant *cells);
    QString errorText() const;

private:
    struct State;
    std::unique_ptr<State> m;
};

// Runs an INSERT ... RETURNING id and gives the new row's id (on a server without asking for it
// again); nothing on failure, with the engine's text in *error.
std::optional<qint64> insertReturningId(QSqlQuery &query, const QString &sql,
                                        const QVariantList &values, QString *error);

// Inserts the rows, each with a value for each of columns, many rows per statement: one round
// trip to a server for each. Table and column names are the program's own, never user text;
// onConflict, when given, follows each statement ("ON CONFLICT (...) DO NOTHING").
bool insertRows(QSqlQuery &query, const QString &table, const QStringList &columns,
                const QList<QVariantList> &rows, QString *error, const QString &onConflict = {});

// What a write transaction holds on a server archive. A file's write transaction always holds
// the whole file.
enum class WriteScope {
    Shared,       // other users write at once; entry numbers are taken under a year's lock
    WholeArchive, // year-end, renumbering, final print, table maintenance: the others wait
};

// A write transaction on a connection that rolls back unless committed. It begins IMMEDIATE:
// the write lock is taken (waiting up to the busy timeout) before anything is read, so what
// the work reads inside it stays true until it commits.
class Transaction {
public:
    explicit Transaction(const Connection &connection, WriteScope scope = WriteScope::Shared);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    QString errorText() const { return m_error; }
    bool commit(QString *error = nullptr);

private:
    void keepVerified(std::optional<quint32> before) const;

    const Connection &m_connection;
    bool m_active = false;
    QString m_error;
    std::optional<quint32> m_startCounter; // a file's change counter when the write began
    int m_startChanges = 0;                // and the rows its connection had changed
};

// A read transaction: every read inside it sees the archive as it was at its start, since other
// users' commits wait until it ends (keep it short: they wait at most the busy timeout).
class ReadSnapshot {
public:
    explicit ReadSnapshot(const Connection &connection);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot &) = delete;
    ReadSnapshot &operator=(const ReadSnapshot &) = delete;

    bool isActive() const { return m_active; }
    QString errorText() const { return m_error; }

private:
    const Connection &m_connection;
    bool m_active = false;
    QString m_error;
};

using TransactionWork = std::function<bool(const Connection &, QString *)>;

// Runs work on a private connection to the archive inside one write transaction, committed only
// when work returns true. Returns false with the reason in *error; nothing is kept.
bool inTransaction(const Archive &archive, const TransactionWork &work, QString *error = nullptr,
                   WriteScope scope = WriteScope::Shared);
