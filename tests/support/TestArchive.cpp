#include "support/TestArchive.h"

#include "data/Database.h"
#include "data/SqlText.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

QString binDir()
{
    return QStringLiteral(TOVRIN_BIN_DIR);
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
}

void TestArchive::exec(const QString &sql, const QVariantList &values) const
{
    Connection connection(databasePath());
    QSqlQuery query = connection.query();
    QString error;
    if (!runSql(query, sql, values, &error))
        qFatal("%s: %s", qPrintable(sql), qPrintable(error));
}

QVariant TestArchive::scalar(const QString &sql, const QVariantList &values) const
{
    Connection connection(databasePath());
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
