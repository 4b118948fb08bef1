#include "archive/ArchiveRestore.h"

#include "data/ArchiveCheck.h"
#include "data/ArchiveStartup.h"
#include "data/Backup.h"
#include "data/ClosedYears.h"
#include "data/EngineErrors.h"
#include "data/Failure.h"
#include "data/Parameters.h"
#include "data/SqlText.h"

#include <QDir>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QString notAnArchive(const QString &copyPath)
{
    return u"Il file %1 non è un archivio di questo programma: l'archivio non è stato "
           u"modificato."_s.arg(QDir::toNativeSeparators(copyPath));
}

QString damaged(const QString &copyPath)
{
    return u"Il file %1 è danneggiato: l'archivio non è stato modificato."_s.arg(
        QDir::toNativeSeparators(copyPath));
}

// Whether the database holds every table of the program's archives.
bool holdsProgramTables(const Connection &connection)
{
    QSqlQuery query = connection.query();
    QString failure;
    if (!runSql(query,
                u"SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                u"('parametri', 'mastri', 'conti', 'sottoconti', 'regmain', 'regdet')"_s,
                {}, &failure) ||
        !query.next())
        return false;
    return query.value(0).toInt() == 6;
}

// The version stamped in the copy, as major * 1000 + minor; 0 when it carries none.
int stampedVersion(const Archive &copy)
{
    const auto part = [&copy](const QString &key) {
        return readParameter(copy, key, ValueType::Integer, Storage::InArchive, 0).toInt();
    };
    return part(u"aMajor"_s) * 1000 + part(u"aMinor"_s);
}

// The refusal of the copy before it is brought up to this version; empty when it may be.
QString copyRefusal(const Archive &copy, const QString &copyPath)
{
    const Connection connection(copy, Connection::Mode::ReadOnly);
    QString failure;
    if (!connection.opened(&failure) || !holdsProgramTables(connection))
        return notAnArchive(copyPath);
    QSqlQuery query = connection.query();
    if (!runSql(query, u"PRAGMA quick_check"_s, {}, &failure) || !query.next() ||
        query.value(0).toString() != u"ok"_s)
        return damaged(copyPath);
    if (stampedVersion(copy) > ProgramVersion::Major * 1000 + ProgramVersion::Minor)
        return u"Il file %1 è di una versione più recente del programma e non può essere "
               u"ripristinato: l'archivio non è stato modificato."_s.arg(
                   QDir::toNativeSeparators(copyPath));
    return {};
}

// The check of the copy over the fiscal year of its last entry; the reason it fails, or empty.
// Numbers out of date order (a bank import leaves them so, a renumbering puts them right) do not
// keep a copy out: they go into *notice.
QString checkRefusal(const Archive &copy, const QString &copyPath, QString *notice, QString *error)
{
    const Connection connection(copy, Connection::Mode::ReadOnly);
    QSqlQuery query = connection.query();
    if (!connection.opened(error) ||
        !runSql(query, u"SELECT COALESCE(MAX(data), date('now')) FROM regmain"_s, {}, error) ||
        !query.next())
        return {};
    const std::optional<FiscalYear> year =
        archiveYearContaining(connection.database(), dateFromIso(query.value(0).toString()), error);
    if (!year)
        return {};
    std::optional<ArchiveCheck> check = checkArchive(copy, year->start, year->end, error);
    if (!check)
        return {};
    if (!check->progressiviAllineati) {
        *notice = u"I numeri delle registrazioni dell'esercizio %1 non seguono le date: eseguire "
                  u"Strumenti → Ricalcolo progressivi (tovrin3-cli renumber)."_s.arg(
                      shownPeriod(year->start, year->end));
        check->progressiviAllineati = true;
    }
    if (check->sound())
        return {};
    return u"Il file %1 non supera il controllo dell'archivio e non è stato ripristinato:\n"_s.arg(
               QDir::toNativeSeparators(copyPath)) +
           check->problemLines().join(u'\n');
}

} // namespace

bool restoreArchive(const Archive &archive, const QString &copyPath, QString *replacedBackup,
                    QString *error, QString *notice)
{
    if (archive.isOnServer())
        return fail(error, u"L'archivio è sul server (%1): si ripristina con gli strumenti del "
                           u"server (pg_restore)."_s.arg(archive.location()));
    if (databaseFileKind(copyPath) != DatabaseFileKind::Sqlite)
        return fail(error, notAnArchive(copyPath));
    // The copy is checked and brought up to date as an archive of its own, beside the backups.
    const QString backups = preparedBackupFolder(archive, error);
    if (backups.isEmpty())
        return false;
    const QTemporaryDir staging(QDir(backups).filePath(u".ripristino-XXXXXX"_s));
    if (!staging.isValid())
        return fail(error, u"Impossibile preparare il ripristino nella cartella %1."_s.arg(
                               QDir::toNativeSeparators(archive.folder())));
    const Archive copy(staging.path());
    QString failure;
    // The file starts as a database does: what the engine cannot copy of it is damage.
    if (!copyDatabaseFile(copyPath, copy.databasePath(), &failure))
        return fail(error, isEngineText(failure) ? damaged(copyPath)
                                                 : failureMessage(u"Impossibile leggere il file "
                                                                  u"da ripristinare."_s,
                                                                  failure));
    if (const QString refusal = copyRefusal(copy, copyPath); !refusal.isEmpty())
        return fail(error, refusal);
    if (!openForWriting(copy, &failure))
        return fail(error, failureMessage(u"Il file %1 non può essere ripristinato."_s.arg(
                                              QDir::toNativeSeparators(copyPath)),
                                          failure));
    QString numbering;
    const QString refusal = checkRefusal(copy, copyPath, &numbering, &failure);
    if (!refusal.isEmpty() || !failure.isEmpty())
        return fail(error, refusal.isEmpty()
                               ? failureMessage(
                                     u"Impossibile controllare il file da ripristinare."_s, failure)
                               : refusal);
    if (!replaceArchiveDatabase(archive, copy.databasePath(), replacedBackup, error))
        return false;
    if (notice)
        *notice = numbering;
    return true;
}
