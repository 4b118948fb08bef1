#include "archive/NewArchive.h"

#include "data/ServerMigration.h"

#include "data/ArchiveFolders.h"
#include "data/ArchiveStartup.h"
#include "data/EngineErrors.h"
#include "data/Failure.h"
#include "data/FiscalEnvironment.h"
#include "data/ItalianCollation.h"
#include "data/Parameters.h"
#include "data/SqlText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

int natureOf(const QString &mNatura)
{
    if (mNatura == u"attivo"_s)
        return 1;
    if (mNatura == u"passivo"_s)
        return 2;
    if (mNatura == u"costi"_s)
        return 3;
    return 4;
}

bool copyFile(const QString &from, const QString &to, QString *error)
{
    if (!QFile::copy(from, to))
        return fail(error, u"Impossibile copiare il file \"%1\" in \"%2\"."_s.arg(
                               QDir::toNativeSeparators(from), QDir::toNativeSeparators(to)));
    // The program's files may be read-only; the archive's copies must not be.
    QFile::setPermissions(to, QFile::permissions(to) | QFile::WriteOwner | QFile::ReadOwner);
    return true;
}

bool makeFolders(const QString &folder, QString *error)
{
    QDir dir;
    if (!dir.mkpath(folder))
        return fail(error, u"Impossibile creare la cartella \"%1\"."_s.arg(
                               QDir::toNativeSeparators(folder)));
    for (const auto &sub : {u"allegati"_s, u"modelli"_s, u"documenti"_s}) {
        if (!QDir(folder).mkdir(sub))
            return fail(error, u"Impossibile creare la cartella \"%1\"."_s.arg(
                                   QDir::toNativeSeparators(QDir(folder).filePath(sub))));
    }
    return true;
}

// The empty archive and every spreadsheet template the program ships.
bool copyTemplates(const QString &programFolder, const QString &folder, QString *error)
{
    if (!copyFile(QDir(programFolder).filePath(u"contab.gen"_s), databasePathFor(folder), error))
        return false;
    const QDir models(QDir(programFolder).filePath(u"modelli"_s));
    for (const QString &name : models.entryList(QDir::Files)) {
        if (!copyFile(models.filePath(name), QDir(folder).filePath(u"modelli/"_s + name), error))
            return false;
    }
    return true;
}

bool fillDatabase(const NewArchiveRequest &request, const QString &programFolder,
                  const QString &folder, QString *error)
{
    Connection connection(databasePathFor(folder));
    if (!connection.opened(error))
        return false;
    Transaction transaction(connection);
    if (!transaction.isActive())
        return fail(error, transaction.errorText());
    if (!importChart(connection, QDir(programFolder).filePath(u"pdc.gen"_s), request.chart.foglio,
                     error) ||
        !writeParameter(connection, u"StartMonth"_s, ValueType::Integer, request.startMonth, error))
        return false;
    for (const auto &[key, caption] : request.chart.captions) {
        if (!writeParameter(connection, key, ValueType::Text, caption, error))
            return false;
    }
    return transaction.commit(error);
}

} // namespace

QString archiveNameFrom(const QString &typed)
{
    QString name;
    for (const QChar c : foldedForMatching(typed)) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            name.append(c);
    }
    return name;
}

QString archiveNameProblem(const QString &typed)
{
    if (typed.trimmed().isEmpty())
        return u"Inserire un Nome per la Contabilità"_s;
    const QString name = archiveNameFrom(typed);
    if (name.isEmpty() || name.size() > ArchiveNameLength)
        return u"Nome della Contabilità non valido: \"%1\" (la cartella prende le lettere e le "
               u"cifre del nome, che devono essere da 1 a %2)."_s.arg(typed)
                   .arg(ArchiveNameLength);
    return {};
}

QString archiveFolderFor(const QString &baseFolder, const QString &typed)
{
    return QDir(baseFolder).filePath(u"tv3_"_s + archiveNameFrom(typed));
}

QString existingFolderRefusal(const QString &folder)
{
    if (!QFileInfo::exists(folder))
        return {};
    return u"La Cartella selezionata è già presente: scegliere un altro Nome per la nuova "
           u"Contabilità"_s;
}

bool createArchive(const NewArchiveRequest &request, const QString &programFolder, QString *error)
{
    const QString folder = archiveFolderFor(request.baseFolder, request.nome);
    if (const QString refusal = existingFolderRefusal(folder); !refusal.isEmpty())
        return fail(error, refusal);

    const bool ok =
        makeFolders(folder, error) && copyTemplates(programFolder, folder, error) &&
        fillDatabase(request, programFolder, folder, error) &&
        openForWriting(Archive(folder), error) &&
        (!request.server || moveNewArchiveToServer(Archive(folder), *request.server, error)) &&
        (!request.makeCurrent ||
         writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser,
                        QDir::cleanPath(QFileInfo(folder).absoluteFilePath()), error));
    if (!ok)
        QDir(folder).removeRecursively();
    return ok;
}

bool importChart(const Connection &archive, const QString &pdcPath, const QString &foglio,
                 QString *error)
{
    // The sheet name comes from the template's own list, yet it is a table name in SQL text:
    // accept plain identifiers only.
    if (!isPlainTableName(foglio))
        return fail(error, u"Piano dei conti non valido: \"%1\""_s.arg(foglio));
    Connection charts(pdcPath, Connection::Mode::ReadOnly);
    if (!charts.isOpen())
        return fail(error, charts.errorText());

    QSqlQuery ledgers = charts.query();
    QSqlQuery accounts = charts.query();
    QSqlQuery subAccounts = charts.query();
    QSqlQuery insert = archive.query();
    if (!runSql(ledgers,
                u"SELECT mNatura, mGruppo, mCodice, mDescrizione FROM "_s + foglio +
                    u" GROUP BY mNatura, mGruppo, mCodice, mDescrizione ORDER BY mCodice"_s,
                {}, error))
        return false;
    while (ledgers.next()) {
        if (!runSql(
                insert,
                u"INSERT INTO mastri (tipo, gruppo, prefisso, descrizione) VALUES (?, ?, ?, ?)"_s,
                {natureOf(ledgers.value(0).toString()), ledgers.value(1), ledgers.value(2),
                 ledgers.value(3)},
                error))
            return false;
        const QVariant idMastro = insert.lastInsertId();
        if (!runSql(accounts,
                    u"SELECT cCodice, cDescrizione, cBil, cLiq FROM "_s + foglio +
                        u" WHERE mCodice = ? GROUP BY cCodice, cDescrizione, cBil, cLiq "
                        u"ORDER BY cCodice"_s,
                    {ledgers.value(2)}, error))
            return false;
        while (accounts.next()) {
            if (!runSql(insert,
                        u"INSERT INTO conti (prefisso, descrizione, bilancio, liquidita, idMastro) "
                        u"VALUES (?, ?, ?, ?, ?)"_s,
                        {accounts.value(0), accounts.value(1),
                         accounts.value(2).toString() == u"x"_s ? 1 : 0,
                         accounts.value(3).toString() == u"x"_s ? 1 : 0, idMastro},
                        error))
                return false;
            const QVariant idConto = insert.lastInsertId();
            if (!runSql(subAccounts,
                        u"SELECT sDescrizione, sTipo FROM "_s + foglio +
                            u" WHERE cCodice = ? ORDER BY id"_s,
                        {accounts.value(0)}, error))
                return false;
            while (subAccounts.next()) {
                if (subAccounts.value(0).isNull())
                    continue;
                if (!runSql(insert,
                            u"INSERT INTO sottoconti (descrizione, idConto) VALUES (?, ?)"_s,
                            {subAccounts.value(0), idConto}, error))
                    return false;
                const QVariant role = subAccounts.value(1);
                if (!role.isNull() && !writeParameter(archive, role.toString(), ValueType::Integer,
                                                      insert.lastInsertId().toInt(), error))
                    return false;
            }
        }
    }
    return true;
}

bool openArchive(const QString &folder, FiscalEnvironment &environment, QString *error)
{
    if (!ArchiveFolders::isArchiveFolder(folder))
        return fail(error, u"Operazione annullata o Cartella non valida."_s);
    if (const QString problem = archiveFolderProblem(folder); !problem.isEmpty())
        return fail(error, problem);
    if (!openForWriting(Archive(folder), error)) {
        if (isEngineText(*error))
            *error = failureMessage(u"Impossibile aprire la contabilità."_s, *error);
        return false;
    }

    FiscalEnvironment opened = environment;
    opened.setArchive(Archive(folder));
    // The program may next start from another folder: it keeps where the archive really is.
    if (!opened.refresh(error) ||
        !writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser,
                        QDir::cleanPath(QFileInfo(folder).absoluteFilePath()), error)) {
        *error = failureMessage(u"Impossibile aprire la contabilità."_s, *error);
        return false;
    }
    environment = opened;
    return true;
}
