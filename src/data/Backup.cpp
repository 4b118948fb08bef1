#include "data/Backup.h"

#include "data/EngineErrors.h"
#include "data/OutputFile.h"
#include "data/Parameters.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString KeptBackupsKey = u"CopieSicurezza"_s;
constexpr int DefaultKeptBackups = 20;

struct SqliteClose {
    void operator()(sqlite3 *connection) const { sqlite3_close_v2(connection); }
};
using SqliteConnection = std::unique_ptr<sqlite3, SqliteClose>;

SqliteConnection openSqlite(const QString &path, int flags, QString *error)
{
    sqlite3 *raw = nullptr;
    const int status = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    SqliteConnection connection(raw);
    if (status != SQLITE_OK) {
        *error = raw ? QString::fromUtf8(sqlite3_errmsg(raw))
                     : QString::fromUtf8(sqlite3_errstr(status));
        return {};
    }
    sqlite3_busy_timeout(raw, busyTimeout());
    return connection;
}

// Copies every page of source into target in one step, waiting for another user's lock up to
// the busy timeout.
bool copyPages(sqlite3 *source, sqlite3 *target, QString *error)
{
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup) {
        *error = QString::fromUtf8(sqlite3_errmsg(target));
        return false;
    }
    int status = SQLITE_OK;
    for (int waited = 0; waited <= busyTimeout(); waited += 50) {
        status = sqlite3_backup_step(backup, -1);
        if (status != SQLITE_BUSY && status != SQLITE_LOCKED)
            break;
        QThread::msleep(50);
    }
    sqlite3_backup_finish(backup);
    if (status == SQLITE_DONE)
        return true;
    const int code = sqlite3_errcode(target);
    *error = QString::fromUtf8(code != SQLITE_OK ? sqlite3_errmsg(target) : sqlite3_errstr(status));
    return false;
}

QString copyFailure(const QString &failure)
{
    return failureMessage(u"Impossibile fare la copia di sicurezza dell'archivio: l'operazione "
                          u"non è stata eseguita."_s,
                          italianSystemError(failure));
}

// Writes the copy beside target, then puts it in place.
bool writeCopy(const Archive &archive, const QString &target, QString *error)
{
    // Two copies started in the same second must not share their partial file.
    const QString partial =
        target + u".%1.part"_s.arg(QRandomGenerator::global()->generate64(), 0, 16);
    QString failure;
    if (copyDatabaseFile(archive.databasePath(), partial, &failure) &&
        replaceFile(partial, target, &failure))
        return true;
    QFile::remove(partial);
    *error = copyFailure(failure);
    return false;
}

void removeOldBackups(const Archive &archive)
{
    const QList<ArchiveBackup> backups = archiveBackups(archive);
    for (qsizetype i = keptBackups(); i < backups.size(); ++i)
        QFile::remove(backups[i].path);
}

} // namespace

bool copyDatabaseFile(const QString &source, const QString &target, QString *error)
{
    const SqliteConnection from = openSqlite(source, SQLITE_OPEN_READONLY, error);
    if (!from)
        return false;
    const SqliteConnection to =
        openSqlite(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
    return to && copyPages(from.get(), to.get(), error);
}

QString backupArchive(const Archive &archive, const QString &what, QString *error)
{
    // A server database is saved by the server's own tools, not copied file by file.
    if (archive.isOnServer())
        return serverBackupNote(archive);
    QDir folder(archive.folder());
    if (!folder.mkpath(u"backup"_s)) {
        *error = u"Impossibile creare la cartella delle copie di sicurezza %1: l'operazione non è "
                 u"stata eseguita."_s.arg(QDir::toNativeSeparators(folder.filePath(u"backup"_s)));
        return {};
    }
    const QString name = u"contab-%1-%2.mdb"_s.arg(
        QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s), what);
    const QString target = folder.filePath(u"backup/"_s + name);
    if (!writeCopy(archive, target, error))
        return {};
    removeOldBackups(archive);
    return target;
}

QString serverBackupNote(const Archive &archive)
{
    return u"nessuna copia automatica: l'archivio è sul server (%1), salvarlo con pg_dump"_s.arg(
        archive.location());
}

bool saveArchiveCopy(const Archive &archive, const QString &target, QString *error)
{
    if (archive.isOnServer()) {
        *error = u"L'archivio è sul server (%1): per una copia usare pg_dump, o \"tovrin3-cli "
                 u"migrate --to-sqlite\" per un file."_s.arg(archive.location());
        return false;
    }
    if (const QString problem = outputTargetProblem(target); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    return writeCopy(archive, target, error);
}

int keptBackups()
{
    const int count = readParameter(Archive(), KeptBackupsKey, ValueType::Integer, Storage::PerUser,
                                    DefaultKeptBackups)
                          .toInt();
    return std::max(1, count);
}

bool setKeptBackups(int count, QString *error)
{
    return writeParameter(Archive(), KeptBackupsKey, ValueType::Integer, Storage::PerUser,
                          std::max(1, count), error);
}

QList<ArchiveBackup> archiveBackups(const Archive &archive)
{
    static const QRegularExpression name(u"^contab-(\\d{8}-\\d{6})-(.+)\\.mdb$"_s);
    const QDir folder(QDir(archive.folder()).filePath(u"backup"_s));
    QList<ArchiveBackup> backups;
    for (const QFileInfo &file : folder.entryInfoList({u"contab-*.mdb"_s}, QDir::Files)) {
        const QRegularExpressionMatch match = name.match(file.fileName());
        if (!match.hasMatch())
            continue;
        backups.append({file.absoluteFilePath(),
                        QDateTime::fromString(match.captured(1), u"yyyyMMdd-HHmmss"_s),
                        match.captured(2), file.size()});
    }
    std::sort(backups.begin(), backups.end(), [](const ArchiveBackup &a, const ArchiveBackup &b) {
        return a.takenAt != b.takenAt ? a.takenAt > b.takenAt : a.path > b.path;
    });
    return backups;
}
