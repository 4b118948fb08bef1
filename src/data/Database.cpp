#include "data/Database.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString uniqueConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return u"tovrin3-%1"_s.arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

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
    QString options = u"QSQLITE_BUSY_TIMEOUT=5000"_s;
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
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.trimmed();
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

Transaction::Transaction(const Connection &connection) : m_db(connection.database())
{
    m_active = m_db.transaction();
    if (!m_active)
        m_error = engineText(m_db.lastError());
}

Transaction::~Transaction()
{
    if (m_active)
        m_db.rollback();
}

bool Transaction::commit(QString *error)
{
    if (m_active && m_db.commit()) {
        m_active = false;
        return true;
    }
    const QString text = m_active ? engineText(m_db.lastError()) : m_error;
    if (error)
        *error = text;
    return false;
}

bool inTransaction(const Archive &archive,
                   const std::function<bool(const Connection &, QString *)> &work, QString *error)
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
