#include "data/Database.h"

#include "data/EngineDialect.h"
#include "data/EngineErrors.h"
#include "data/Failure.h"
#include "data/ItalianCollation.h"
#include "data/PortableSql.h"
#include "data/ServerRows.h"
#include "data/SharedTexts.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSqlDriver>
#include <QSqlRecord>

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The parameter that keeps the stamp of the program's last commit known sound.
const QString SoundStampKey = u"totaliVerificati"_s;

int &busyTimeoutSetting()
{
    static int milliseconds = 5000;
    return milliseconds;
}

// The kind of a failure, from the engine's own code: the server's SQLSTATE, or SQLite's result
// code (none for a failure of Qt's own, before the engine was asked).
EngineFault faultOf(const QSqlError &error, bool server)
{
    if (server)
        return serverFault(error.nativeErrorCode());
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    return numeric ? sqliteFault(code) : EngineFault::Other;
}

QString failureText(const QSqlError &error, bool server)
{
    const QString words =
        (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
    return engineFailureText(faultOf(error, server), words);
}

bool runStatement(const QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery query(db);
    return query.exec(sql) || fail(error, engineText(query));
}

struct VerifiedFile {
    quint32 changeCounter = 0;
    bool sound = false;
};

QMutex verifiedMutex;
QHash<QString, VerifiedFile> verifiedFiles;

QString databaseKey(const QSqlDatabase &database)
{
    if (isServer(database))
        return ServerLocation{
            database.hostName(), database.port(), database.databaseName(), database.userName(), {}}
            .key();
    const QString canonical = QFileInfo(database.databaseName()).canonicalFilePath();
    return canonical.isEmpty() ? database.databaseName() : canonical;
}

// Open server connections of this thread no operation uses now, by database and mode.
QHash<QString, QStringList> &idleServerConnections()
{
    thread_local QHash<QString, QStringList> idle;
    return idle;
}

constexpr int MaxIdleServerConnections = 4;

QString uniqueConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return u"tovrin3-%1"_s.arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

int busyTimeout()
{
    return busyTimeoutSetting();
}

void setBusyTimeout(int milliseconds)
{
    busyTimeoutSetting() = milliseconds;
}

QString databasePathFor(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(u"contab.mdb"_s);
}

Archive::Archive(const QString &dataFolder)
    : m_folder(dataFolder),
      m_databasePath(dataFolder.isEmpty() ? QString() : databasePathFor(dataFolder))
{
    if (isServerFolder(dataFolder))
        m_server = readServerIni(dataFolder);
}

QString Archive::location() const
{
    return m_server ? m_server->description() : QDir::toNativeSeparators(m_databasePath);
}

QString Archive::subFolder(QStringView name) const
{
    return QDir(m_folder).filePath(name.toString());
}

Archive Archive::ofDatabase(const QString &databasePath)
{
    Archive archive;
    archive.m_folder = QFileInfo(databasePath).absolutePath();
    archive.m_databasePath = databasePath;
    return archive;
}

DatabaseFileKind databaseFileKind(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return DatabaseFileKind::Missing;
    sqlite3 *raw = nullptr;
    const int status =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> connection(raw, sqlite3_close_v2);
    if (status != SQLITE_OK)
        return DatabaseFileKind::Missing;
    const QByteArray head = databaseFileBytes(raw, 0, 32).value_or(QByteArray());
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return DatabaseFileKind::Sqlite;
    const QByteArray jetMark = head.mid(4, 15);
    if (jetMark == QByteArrayLiteral("Standard Jet DB") ||
        jetMark == QByteArrayLiteral("Standard ACE DB"))
        return DatabaseFileKind::Access;
    return DatabaseFileKind::Other;
}

namespace {

sqlite3_file *databaseFileOf(sqlite3 *connection)
{
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        return nullptr;
    return file;
}

} // namespace

std::optional<qint64> databaseFileSize(sqlite3 *connection)
{
    sqlite3_file *file = databaseFileOf(connection);
    sqlite3_int64 size = 0;
    if (!file || file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return std::nullopt;
    return size;
}

std::optional<QByteArray> databaseFileBytes(sqlite3 *connection, qint64 offset, qint64 size)
{
    sqlite3_file *file = databaseFileOf(connection);
    const std::optional<qint64> length = databaseFileSize(connection);
    if (!file || !length)
        return std::nullopt;
    QByteArray bytes(qsizetype(std::clamp<qint64>(*length - offset, 0, size)), '\0');
    if (!bytes.isEmpty() &&
        file->pMethods->xRead(file, bytes.data(), int(bytes.size()), offset) != SQLITE_OK)
        return std::nullopt;
    return bytes;
}

void *driverHandle(const QSqlDatabase &database, std::initializer_list<const char *> typeNames)
{
    const QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
    if (!handle.isValid() ||
        std::none_of(typeNames.begin(), typeNames.end(),
                     [&](const char *name) { return qstrcmp(handle.typeName(), name) == 0; }))
        return nullptr;
    return *static_cast<void *const *>(handle.constData());
}

sqlite3 *sqliteHandle(const QSqlDatabase &database)
{
    return static_cast<sqlite3 *>(driverHandle(database, {"sqlite3*"}));
}

std::optional<quint32> changeCounter(const QSqlDatabase &database)
{
    if (isServer(database))
        return 0;
    sqlite3 *connection = sqliteHandle(database);
    const std::optional<QByteArray> bytes =
        connection ? databaseFileBytes(connection, 24, 4) : std::nullopt;
    if (!bytes || bytes->size() != 4)
        return std::nullopt;
    return quint32(quint8(bytes->at(0))) << 24 | quint32(quint8(bytes->at(1))) << 16 |
           quint32(quint8(bytes->at(2))) << 8 | quint32(quint8(bytes->at(3)));
}

void markVerified(const QSqlDatabase &database, quint32 changeCounter, bool sound)
{
    const QMutexLocker lock(&verifiedMutex);
    verifiedFiles.insert(databaseKey(database), {changeCounter, sound});
}

bool stampedSound(const QSqlDatabase &database)
{
    const std::optional<quint32> counter = changeCounter(database);
    QSqlQuery query(database);
    return counter && !isServer(database) &&
           runSql(query, u"SELECT valore FROM parametri WHERE chiave = ?"_s, {SoundStampKey}) &&
           query.next() && query.value(0).toString() == QString::number(*counter);
}

std::optional<bool> verifiedState(const QSqlDatabase &database)
{
    const std::optional<quint32> counter = changeCounter(database);
    const QMutexLocker lock(&verifiedMutex);
    const auto known = verifiedFiles.constFind(databaseKey(database));
    if (!counter || known == verifiedFiles.constEnd() || known->changeCounter != *counter)
        return std::nullopt;
    return known->sound;
}

Connection::Connection(const QString &databasePath, Mode mode) : m_name(uniqueConnectionName())
{
    openSqlite(databasePath, mode);
}

Connection::Connection(const Archive &archive, Mode mode) : m_name(uniqueConnectionName())
{
    if (archive.isOnServer())
        openServer(*archive.server(), mode);
    else
        openSqlite(archive.databasePath(), mode);
}

Connection::Connection(const ServerLocation &server, Mode mode) : m_name(uniqueConnectionName())
{
    openServer(server, mode);
}

void Connection::openServer(const ServerLocation &server, Mode mode)
{
    if (const QString key = invalidServerSetting(server); !key.isEmpty()) {
        m_error = u"Valore non ammesso per %1 nelle impostazioni del server."_s.arg(key);
        return;
    }
    m_poolKey = server.key() + (mode == Mode::ReadOnly ? u" ro"_s : u" rw"_s);
    // A kept connection the server has ended meanwhile (a restart, an administrator) is
    // dropped for a new one.
    QStringList &idle = idleServerConnections()[m_poolKey];
    while (!idle.isEmpty()) {
        const QString kept = idle.takeLast();
        {
            QSqlQuery setting(QSqlDatabase::database(kept, false));
            if (setting.exec(u"SET lock_timeout = %1"_s.arg(busyTimeout()))) {
                QSqlDatabase::removeDatabase(m_name);
                m_name = kept;
                return;
            }
        }
        QSqlDatabase::database(kept, false).close();
        QSqlDatabase::removeDatabase(kept);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, m_name);
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setDatabaseName(server.database);
    db.setUserName(server.user);
    // Without a password typed in this session the client library reads ~/.pgpass.
    if (const QString password = sessionPassword(server); !password.isEmpty())
        db.setPassword(password);
    QStringList options;
    for (const auto &[key, value] : clientSettings(server))
        options.append(key + u'=' + value);
    db.setConnectOptions(options.join(u';'));
    if (!db.open()) {
        m_error = engineText(db);
        return;
    }
    QSqlQuery setting(db);
    // The server's compilation of a costly plan takes longer than the program's reads take to
    // run: it is not used.
    const QStringList settings{u"SET lock_timeout = %1"_s.arg(busyTimeout()),
                               u"SET client_min_messages = warning"_s, u"SET jit = off"_s,
                               mode == Mode::ReadOnly ? u"SET default_transaction_read_only = on"_s
                                                      : QString()};
    for (const QString &statement : settings)
        if (!statement.isEmpty() && !setting.exec(statement)) {
            m_error = engineText(setting);
            return;
        }
}

void Connection::openSqlite(const QString &databasePath, Mode mode)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
    if (databasePath.isEmpty() || !QFileInfo(databasePath).isFile()) {
        m_error =
            u"Il file del database non esiste: %1"_s.arg(QDir::toNativeSeparators(databasePath));
        return;
    }
    db.setDatabaseName(databasePath);
    QString options = u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(busyTimeout());
    if (mode == Mode::ReadOnly)
        options += u";QSQLITE_OPEN_READONLY"_s;
    db.setConnectOptions(options);
    if (!db.open()) {
        m_error = engineText(db);
        return;
    }
    QSqlQuery pragma(db);
    if (!pragma.exec(u"PRAGMA foreign_keys = ON"_s))
        m_error = engineText(pragma);
    else if (!registerItalianOrder(db))
        m_error = u"Impossibile registrare l'ordinamento italiano sulla connessione."_s;
}

Connection::~Connection()
{
    // A server connection costs a new process on the server: a sound one is kept for the next
    // operation of this thread on the same database.
    if (!m_poolKey.isEmpty() && m_error.isEmpty() && database().isOpen()) {
        QStringList &idle = idleServerConnections()[m_poolKey];
        if (idle.size() < MaxIdleServerConnections) {
            idle.append(m_name);
            return;
        }
    }
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

bool Connection::opened(QString *error) const
{
    if (!isOpen() && error)
        *error = m_error;
    return isOpen();
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

QString engineText(const QSqlQuery &query)
{
    return failureText(query.lastError(),
                       query.driver() && query.driver()->dbmsType() == QSqlDriver::PostgreSQL);
}

QString engineText(const QSqlDatabase &database)
{
    return failureText(database.lastError(), isServer(database));
}

bool runSql(QSqlQuery &query, const QString &sql, const QVariantList &values, QString *error)
{
    const bool server = query.driver() && query.driver()->dbmsType() == QSqlDriver::PostgreSQL;
    // Every statement both engines share runs on the server in the tests: refused there when
    // the engines would read it differently.
    if (server && !passesPortableCheck(sql, error))
        return false;
    bool ok = false;
    if (server && values.isEmpty()) {
        // A server prepares only statements that read or change rows: one without values runs
        // as is.
        ok = query.exec(sql);
    } else {
        // A query that runs the statement it last ran well runs it again as prepared: a server
        // then neither parses and plans it again nor forgets it, two round trips saved.
        const bool prepared = query.lastQuery() == sql && !query.lastError().isValid();
        ok = (prepared || query.prepare(sql)) && [&] {
            for (const QVariant &value : values)
                query.addBindValue(value);
            return query.exec();
        }();
    }
    if (!ok && error)
        *error = engineText(query);
    return ok;
}

namespace {

bool bindSqlite(sqlite3_stmt *statement, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values[i];
        int done = SQLITE_OK;
        if (value.isNull()) {
            done = sqlite3_bind_null(statement, i + 1);
        } else if (value.typeId() == QMetaType::Double) {
            done = sqlite3_bind_double(statement, i + 1, value.toDouble());
        } else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
                   value.typeId() == QMetaType::UInt || value.typeId() == QMetaType::Bool) {
            done = sqlite3_bind_int64(statement, i + 1, value.toLongLong());
        } else {
            const QByteArray text = value.toString().toUtf8();
            done = sqlite3_bind_text(statement, i + 1, text.constData(), int(text.size()),
                                     SQLITE_TRANSIENT);
        }
        if (done != SQLITE_OK)
            return false;
    }
    return true;
}

QVariant sqliteCell(sqlite3_stmt *statement, int column, SharedTexts *texts)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, column);
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(statement, column)),
                          sqlite3_column_bytes(statement, column));
    default: {
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
        const int size = sqlite3_column_bytes(statement, column);
        return texts ? texts->fromUtf8(column, bytes, size) : QString::fromUtf8(bytes, size);
    }
    }
}

// Once Qt's vector code has run in the process, SQLite's steps run a fifth slower on Intel
// processors until the upper halves of the AVX registers are cleared: the penalty these
// processors put on SSE code after AVX code. Clearing them before each step costs a cycle.
void clearUpperVectorHalves()
{
#if defined(__x86_64__)
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        __asm__ __volatile__("vzeroupper");
#endif
}

QString sqliteFailure(sqlite3 *handle)
{
    return engineFailureText(sqliteFault(sqlite3_extended_errcode(handle)),
                             QString::fromUtf8(sqlite3_errmsg(handle)));
}

} // namespace

struct RowCursor::State {
    QStringList fields;
    QString error;
    bool finished = false;
    std::optional<SharedTexts> texts;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement{nullptr, sqlite3_finalize};
    std::unique_ptr<ServerRows> serverRows;
    std::optional<QSqlQuery> query;
};

RowCursor::RowCursor(const QSqlDatabase &database, const QString &sql, const QVariantList &values,
                     Texts texts)
    : m(std::make_unique<State>())
{
    if (texts == Texts::Shared)
        m->texts.emplace();
    if (sqlite3 *handle = sqliteHandle(database)) {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt *statement = nullptr;
        const int prepared =
            sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &statement, nullptr);
        m->statement.reset(statement);
        if (prepared != SQLITE_OK || !bindSqlite(statement, values)) {
            m->error = sqliteFailure(handle);
            return;
        }
        for (int c = 0; c < sqlite3_column_count(statement); ++c)
            m->fields.append(QString::fromUtf8(sqlite3_column_name(statement, c)));
        return;
    }
    if ((m->serverRows = ServerRows::run(database, sql, values))) {
        m->fields = m->serverRows->fields();
        m->error = m->serverRows->errorText();
        return;
    }
    m->query.emplace(database);
    m->query->setForwardOnly(true);
    if (!runSql(*m->query, sql, values, &m->error))
        return;
    const QSqlRecord record = m->query->record();
    for (int c = 0; c < record.count(); ++c)
        m->fields.append(record.fieldName(c));
}

RowCursor::~RowCursor() = default;

const QStringList &RowCursor::fields() const
{
    return m->fields;
}

QString RowCursor::errorText() const
{
    return m->error;
}

bool RowCursor::next(QVariantList *row)
{
    row->resize(m->fields.size());
    return next(row->data());
}

bool RowCursor::next(QVariant *cells)
{
    if (m->finished || !m->error.isEmpty())
        return false;
    const int columns = int(m->fields.size());
    SharedTexts *texts = m->texts ? &*m->texts : nullptr;
    if (m->statement) {
        clearUpperVectorHalves();
        const int step = sqlite3_step(m->statement.get());
        if (step == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c)
                cells[c] = sqliteCell(m->statement.get(), c, texts);
            return true;
        }
        m->finished = true;
        if (step != SQLITE_DONE)
            m->error = sqliteFailure(sqlite3_db_handle(m->statement.get()));
        return false;
    }
    if (m->serverRows) {
        m->finished = !m->serverRows->next(cells, texts);
        return !m->finished;
    }
    if (!m->query->next()) {
        m->finished = true;
        if (m->query->lastError().isValid())
            m->error = engineText(*m->query);
        return false;
    }
    for (int c = 0; c < columns; ++c)
        cells[c] = texts ? texts->shared(m->query->value(c)) : m->query->value(c);
    return true;
}

std::optional<qint64> insertReturningId(QSqlQuery &query, const QString &sql,
                                        const QVariantList &values, QString *error)
{
    if (!runSql(query, sql, values, error))
        return std::nullopt;
    if (!query.next())
        return failWithNothing(error, engineText(query));
    const qint64 id = query.value(0).toLongLong();
    // SQLite keeps a statement that has rows left open until it is told it is done.
    query.finish();
    return id;
}

bool insertRows(QSqlQuery &query, const QString &table, const QStringList &columns,
                const QList<QVariantList> &rows, QString *error, const QString &onConflict)
{
    // Few parameters per statement for both engines, and one round trip to a server for many rows.
    const qsizetype perStatement =
        std::max<qsizetype>(1, 2000 / std::max<qsizetype>(1, columns.size()));
    const QString one = u'(' + QStringList(columns.size(), u"?"_s).join(u", "_s) + u')';
    for (qsizetype first = 0; first < rows.size(); first += perStatement) {
        const qsizetype count = std::min(perStatement, rows.size() - first);
        QVariantList values;
        values.reserve(count * columns.size());
        for (qsizetype i = first; i < first + count; ++i)
            values += rows[i];
        // Names are the program's own, never user text.
        if (!runSql(query,
                    u"INSERT INTO %1 (%2) VALUES %3 %4"_s
                        .arg(table, columns.join(u", "_s), QStringList(count, one).join(u", "_s),
                             onConflict)
                        .trimmed(),
                    values, error))
            return false;
    }
    return true;
}

Transaction::Transaction(const Connection &connection, WriteScope scope) : m_connection(connection)
{
    const QSqlDatabase db = m_connection.database();
    m_active = runStatement(db, dialectOf(db).beginWrite(), &m_error);
    if (sqlite3 *handle = sqliteHandle(db)) {
        // Under the write lock the header is the last commit's, whoever made it.
        if (m_active)
            m_startCounter = changeCounter(db);
        m_startChanges = sqlite3_total_changes(handle);
    }
    const bool locked =
        m_active && (scope == WriteScope::WholeArchive ? lockWholeArchive(db, &m_error)
                                                       : lockArchiveShared(db, &m_error));
    if (m_active && !locked) {
        runStatement(db, u"ROLLBACK"_s, nullptr);
        m_active = false;
    }
}

Transaction::~Transaction()
{
    if (m_active)
        runStatement(m_connection.database(), u"ROLLBACK"_s, nullptr);
}

bool Transaction::commit(QString *error)
{
    QString text = m_error;
    // Holding the write lock, nobody else has changed the file since this began.
    const QSqlDatabase db = m_connection.database();
    const std::optional<quint32> verified =
        m_active && verifiedState(db) == true ? changeCounter(db) : std::nullopt;
    // A commit raises the counter by one, once: the stamp names the counter it leaves. A
    // transaction that changed no row leaves the file as it was, stamp included.
    sqlite3 *handle = sqliteHandle(db);
    if (verified && m_startCounter && handle && sqlite3_total_changes(handle) != m_startChanges) {
        QSqlQuery stamp(db);
        m_active =
            runSql(stamp, u"INSERT OR REPLACE INTO parametri (chiave, valore) VALUES (?, ?)"_s,
                   {SoundStampKey, QString::number(*m_startCounter + 1)}, &text) &&
            m_active;
    }
    if (m_active && runStatement(db, u"COMMIT"_s, &text)) {
        m_active = false;
        keepVerified(verified);
        return true;
    }
    return fail(error, text);
}

ReadSnapshot::ReadSnapshot(const Connection &connection) : m_connection(connection)
{
    const QSqlDatabase db = m_connection.database();
    // A deferred transaction takes its shared lock (a server its snapshot) at the first read:
    // take it now.
    const EngineDialect &dialect = dialectOf(db);
    m_active = runStatement(db, dialect.beginSnapshot(), &m_error);
    if (m_active && !runStatement(db, dialect.firstRead(), &m_error)) {
        runStatement(db, u"ROLLBACK"_s, nullptr);
        m_active = false;
    }
}

ReadSnapshot::~ReadSnapshot()
{
    if (m_active)
        runStatement(m_connection.database(), u"ROLLBACK"_s, nullptr);
}

void Transaction::keepVerified(std::optional<quint32> before) const
{
    // The program's own writes keep derived state sound; the commit raised the counter by one
    // (or had already, writing pages early). A larger step means someone else wrote in between,
    // and the mark lapses.
    if (!before)
        return;
    const QSqlDatabase db = m_connection.database();
    const std::optional<quint32> after = changeCounter(db);
    if (after && (*after == *before || *after == *before + 1))
        markVerified(db, *after, true);
}

bool inTransaction(const Archive &archive, const TransactionWork &work, QString *error,
                   WriteScope scope)
{
    QString failure;
    const bool ok = [&] {
        Connection connection(archive);
        if (!connection.opened(&failure))
            return false;
        Transaction transaction(connection, scope);
        if (!transaction.isActive()) {
            failure = transaction.errorText();
            return false;
        }
        return work(connection, &failure) && transaction.commit(&failure);
    }();
    if (!ok && error)
        *error = failure;
    return ok;
}
