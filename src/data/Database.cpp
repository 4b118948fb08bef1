#include "data/Database.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

int &busyTimeoutSetting()
{
    static int milliseconds = 5000;
    return milliseconds;
}

// SQLITE_BUSY and SQLITE_LOCKED, with or without an extended code.
bool isLockError(const QSqlError &error)
{
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric) & 0xff;
    return numeric && (code == 5 || code == 6);
}

bool runStatement(const QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    if (error)
        *error = engineText(query.lastError());
    return false;
}

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
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return DatabaseFileKind::Missing;
    const QByteArray head = file.read(32);
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return DatabaseFileKind::Sqlite;
    const QByteArray jetMark = head.mid(4, 15);
    if (jetMark == QByteArrayLiteral("Standard Jet DB") ||
        jetMark == QByteArrayLiteral("Standard ACE DB"))
        return DatabaseFileKind::Access;
    return DatabaseFileKind::Other;
}

Connection::Connection(const QString &databasePath, Mode mode) : m_name(uniqueConnectionName())
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
        m_error = engineText(db.lastError());
        return;
    }
    QSqlQuery pragma(db);
    if (!pragma.exec(u"PRAGMA foreign_keys = ON"_s))
        m_error = engineText(pragma.lastError());
}

Connection::~Connection()
{
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

QString engineText(const QSqlError &error)
{
    const QString text =
        (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
    if (isLockError(error))
        return u"L'archivio è in uso da un altro utente. Riprovare tra qualche istante.\n"_s + text;
    return text;
}

bool runSql(QSqlQuery &query, const QString &sql, const QVariantList &values, QString *error)
{
    const bool ok = query.prepare(sql) && [&] {
        for (const QVariant &value : values)
            query.addBindValue(value);
        return query.exec();
    }();
    if (!ok && error)
        *error = engineText(query.lastError());
    return ok;
}

Transaction::Transaction(const Connection &connection) : m_connection(connection)
{
    m_active = runStatement(m_connection.database(), u"BEGIN IMMEDIATE"_s, &m_error);
}

Transaction::~Transaction()
{
    if (m_active)
        runStatement(m_connection.database(), u"ROLLBACK"_s, nullptr);
}

bool Transaction::commit(QString *error)
{
    QString text = m_error;
    if (m_active && runStatement(m_connection.database(), u"COMMIT"_s, &text)) {
        m_active = false;
        return true;
    }
    if (error)
        *error = text;
    return false;
}

bool inTransaction(const Archive &archive, const TransactionWork &work, QString *error)
{
    QString failure;
    const bool ok = [&] {
        Connection connection(archive);
        if (!connection.opened(&failure))
            return false;
        Transaction transaction(connection);
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
