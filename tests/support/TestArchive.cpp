#include "support/TestArchive.h"

#include "data/Database.h"
#include "data/ServerMigration.h"
#include "data/SqlText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

QString binDir()
{
    return QStringLiteral(TOVRIN_BIN_DIR);
}

namespace {

// The test server's maintenance database, when the suite runs on a server.
std::optional<ServerLocation> testServer()
{
    const QString url = qEnvironmentVariable("TOVRIN_TEST_SERVER");
    return url.isEmpty() ? std::nullopt : serverLocationFromUrl(url, nullptr);
}

void runOnServer(const ServerLocation &server, const QString &sql)
{
    Connection connection(server);
    QSqlQuery query = connection.query();
    QString error;
    if (!connection.opened(&error) || !runSql(query, sql, {}, &error))
        qFatal("%s: %s", qPrintable(sql), qPrintable(error));
}

} // namespace

std::optional<ServerLocation> TestArchive::newServerDatabase()
{
    std::optional<ServerLocation> server = testServer();
    if (!server)
        return std::nullopt;
    static int made = 0;
    const QString name = u"t%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(++made);
    runOnServer(*server, u"CREATE DATABASE "_s + name);
    server->database = name;
    return server;
}

TestArchive::TestArchive() : m_archive(m_dir.path())
{
    QDir dir(m_dir.path());
    for (const auto &sub : {u"allegati"_s, u"modelli"_s, u"documenti"_s})
        dir.mkdir(sub);
    const QString target = databasePath();
    if (!QFile::copy(QDir(binDir()).filePath(u"contab.gen"_s), target))
        qFatal("cannot copy the empty archive template");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    m_server = newServerDatabase();
    if (!m_server)
        return;
    // The same empty archive, on the server; a test that opens the file would find none.
    QString error;
    if (!moveNewArchiveToServer(m_archive, *m_server, &error))
        qFatal("cannot move the empty archive to the test server: %s", qPrintable(error));
    m_archive = Archive(m_dir.path());
    // The move stamps the archive with this version, as opening it for writing does; the empty
    // archive has no parameters, and the file archives of the tests are not opened yet.
    exec(u"DELETE FROM parametri"_s);
}

TestArchive::~TestArchive()
{
    if (!m_server)
        return;
    ServerLocation maintenance = *testServer();
    runOnServer(maintenance, u"DROP DATABASE %1 WITH (FORCE)"_s.arg(m_server->database));
}

void TestArchive::exec(const QString &sql, const QVariantList &values) const
{
    Connection connection(m_archive);
    QSqlQuery query = connection.query();
    QString error;
    if (!runSql(query, sql, values, &error))
        qFatal("%s: %s", qPrintable(sql), qPrintable(error));
}

QVariant TestArchive::scalar(const QString &sql, const QVariantList &values) const
{
    Connection connection(m_archive);
    QSqlQuery query = connection.query();
    QString error;
    if (!runSql(query, sql, values, &error))
        qFatal("%s: %s", qPrintable(sql), qPrintable(error));
    return query.next() ? query.value(0) : QVariant();
}

qint64 TestArchive::addMastro(const QString &prefisso, const QString &descrizione, int tipo,
                              const QVariant &gruppo)
{
    exec(u"INSERT INTO mastri (prefisso, descrizione, tipo, gruppo) VALUES (?, ?, ?, ?)"_s,
         {prefisso, descrizione, tipo, gruppo});
    return scalar(u"SELECT MAX(id) FROM mastri"_s).toLongLong();
}

qint64 TestArchive::addConto(qint64 idMastro, const QString &prefisso, const QString &descrizione,
                             bool bilancio)
{
    exec(u"INSERT INTO conti (idMastro, prefisso, descrizione, bilancio) VALUES (?, ?, ?, ?)"_s,
         {idMastro, prefisso, descrizione, bilancio ? 1 : 0});
    return scalar(u"SELECT MAX(id) FROM conti"_s).toLongLong();
}

qint64 TestArchive::addSottoconto(qint64 idConto, const QString &descrizione)
{
    exec(u"INSERT INTO sottoconti (idConto, descrizione) VALUES (?, ?)"_s, {idConto, descrizione});
    return scalar(u"SELECT MAX(id) FROM sottoconti"_s).toLongLong();
}

qint64 TestArchive::addEntry(const QDate &data, const QList<Row> &rows, int tipo,
                             const QVariant &progressivo)
{
    exec(u"INSERT INTO regmain (data, tipo, progressivo) VALUES (?, ?, ?)"_s,
         {isoDate(data), tipo, progressivo});
    const qint64 id = scalar(u"SELECT MAX(id) FROM regmain"_s).toLongLong();
    int riga = 10;
    for (const Row &row : rows) {
        exec(u"INSERT INTO regdet (idRegMain, riga, contodare, contoavere, importo, descrizione) "
             u"VALUES (?, ?, ?, ?, ?, ?)"_s,
             {id, riga, row.dare, row.avere, row.importo.units(), row.descrizione});
        riga += 10;
    }
    return id;
}
