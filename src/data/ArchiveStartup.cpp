#include "data/ArchiveStartup.h"

#include "data/ArchiveFolders.h"
#include "data/BankTables.h"
#include "data/CashAccounts.h"
#include "data/Database.h"
#include "data/EngineDialect.h"
#include "data/EngineErrors.h"
#include "data/FinalPrints.h"
#include "data/MonthlyTotals.h"
#include "data/Parameters.h"
#include "data/ProgramFiles.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>

#include <sys/vfs.h>

using namespace Qt::StringLiterals;

namespace {

QString quotedFolder(const QString &folder)
{
    return u"\""_s + QDir::toNativeSeparators(folder) + u"\""_s;
}

bool raiseVersionPart(const Connection &connection, const QString &key, int running, QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT valore FROM parametri WHERE chiave = ?"_s, {key}, error))
        return false;
    if (query.next() && query.value(0).toString().trimmed().toInt() >= running)
        return true;
    return writeParameter(connection, key, ValueType::Integer, running, error);
}

// Why the archive cannot be read: the connection or its parameters fail; empty when fine.
QString openingProblem(const QString &dataFolder, const Archive &archive)
{
    Connection connection(archive);
    QString error = connection.errorText();
    if (error.isEmpty()) {
        QSqlQuery probe = connection.query();
        // A sound database whose fixed read of the parameters fails lacks the table: SQLite
        // says so only with its generic error.
        if (!runSql(probe, u"SELECT COUNT(*) FROM parametri"_s, {}, &error) &&
            engineFault(error) == EngineFault::Other)
            error = engineFailureText(EngineFault::Structure, engineWords(error));
    }
    if (error.isEmpty())
        return {};
    return failureMessage(u"L'archivio della cartella dati:\n"_s + quotedFolder(dataFolder) +
                              u"\nnon può essere aperto."_s,
                          error);
}

QString serverArchiveProblem(const QString &dataFolder)
{
    QString error;
    if (!readServerIni(dataFolder, &error))
        return error;
    return openingProblem(dataFolder, Archive(dataFolder));
}

} // namespace

QString archiveFolderProblem(const QString &dataFolder)
{
    if (!ArchiveFolders::isArchiveFolder(dataFolder))
        return u"Cartella dati:\n"_s + quotedFolder(dataFolder) + u"\nnon trovata o danneggiata."_s;

    if (isServerFolder(dataFolder))
        return serverArchiveProblem(dataFolder);
    const QString databasePath = databasePathFor(dataFolder);
    switch (databaseFileKind(databasePath)) {
    case DatabaseFileKind::Sqlite:
        break;
    case DatabaseFileKind::Access:
        return u"Il file contab.mdb della cartella dati:\n"_s + quotedFolder(dataFolder) +
               u"\nè un archivio Microsoft Access di un programma precedente e non può essere "
               u"aperto.\nIl file non è stato modificato."_s;
    default:
        return u"Il file contab.mdb della cartella dati:\n"_s + quotedFolder(dataFolder) +
               u"\nnon è un archivio di contabilità valido e non può essere aperto.\n"
               u"Il file non è stato modificato."_s;
    }

    // Not read-only: the first read rolls back a journal left behind by an interrupted commit,
    // which a read-only connection refuses ("attempt to write a readonly database").
    return openingProblem(dataFolder, Archive(dataFolder));
}

QString networkFolderWarning(const Archive &archive)
{
    struct statfs folder {};
    if (archive.isOnServer() || statfs(QFile::encodeName(archive.folder()).constData(), &folder))
        return {};
    static const std::pair<quint32, const char16_t *> networkKinds[] = {
        {0x6969, u"NFS"}, {0x517B, u"SMB"}, {0xFF534D42, u"CIFS"}, {0xFE534D42, u"SMB2"}};
    for (const auto &[magic, name] : networkKinds)
        if (quint32(folder.f_type) == magic)
            return u"Attenzione: l'archivio è in una cartella di rete (%1), dove i blocchi dei "
                   u"file "
                   u"non sono affidabili: due utenti che scrivono insieme possono danneggiarlo. "
                   u"Per "
                   u"lavorare in più utenti portare l'archivio su un server PostgreSQL "
                   u"(tovrin3-cli "
                   u"migrate)."_s.arg(QString::fromUtf16(name));
    return {};
}

bool openForWriting(const Archive &archive, QString *error)
{
    // An archive of an earlier version gets the tables this version keeps in the same
    // transaction that stamps it.
    return inTransaction(
        archive,
        [](const Connection &connection, QString *failure) {
            if (!ensureServerNamesFolded(connection, failure) ||
                !ensureEntryVersions(connection, failure) ||
                !ensureServerAccountCards(connection, failure) ||
                !ensureServerDateFunction(connection, failure))
                return false;
            const std::optional<QList<SchemaObject>> foreign =
                foreignSchemaObjects(connection.database(), failure);
            if (!foreign)
                return false;
            if (!foreign->isEmpty()) {
                *failure = foreignObjectsRefusal(*foreign);
                return false;
            }
            return keepIdsAheadOfRows(connection.database(), failure) &&
                   ensureMonthlyTotals(connection, failure) &&
                   repairMonthlyTotals(connection, failure) &&
                   ensureFinalPrints(connection, failure) &&
                   ensureBankTables(connection, failure) &&
                   ensureCashFlag(connection, QDir(programDataFolder()).filePath(u"pdc.gen"_s),
                                  failure) &&
                   raiseVersionPart(connection, u"aMajor"_s, ProgramVersion::Major, failure) &&
                   raiseVersionPart(connection, u"aMinor"_s, ProgramVersion::Minor, failure);
        },
        error);
}
