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

// A failure of SQLite's own functions as the data layer passes it on: of a connection, or of a
// call that had none.
QString sqliteFailure(sqlite3 *connection)
{
    return engineFailureText(sqliteFault(sqlite3_extended_errcode(connection)),
                             QString::fromUtf8(sqlite3_errmsg(connection)));
}

QString sqliteFailure(int status)
{
    return engineFailureText(sqliteFault(status), QString::fromUtf8(sqlite3_errstr(status)));
}

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
        *error = raw ? sqliteFailure(raw) : sqliteFailure(status);
        return {};
    }
    sqlite3_busy_timeout(raw, busyTimeout());
    return connection;
}

// Steps the backup by pages (0: only takes the locks), waiting for another user's lock up to
// the busy timeout.
int stepWaiting(sqlite3_backup *backup, int pages)
{
    int status = SQLITE_OK;
    for (int waited = 0; waited <= busyTimeout(); waited += 50) {
        status = sqlite3_backup_step(backup, pages);
        if (status != SQLITE_BUSY && status != SQLITE_LOCKED)
            break;
        QThread::msleep(50);
    }
    return status;
}

// The engine's text of a failed step on the target connection.
QString stepFailure(sqlite3 *target, int status)
{
    return sqlite3_errcode(target) != SQLITE_OK ? sqliteFailure(target) : sqliteFailure(status);
}

// Copies every page of source into target in one step, waiting for another user's lock up to
// the busy timeout.
bool copyPages(sqlite3 *source, sqlite3 *target, QString *error)
{
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup) {
        *error = sqliteFailure(target);
        return false;
    }
    const int status = stepWaiting(backup, -1);
    sqlite3_backup_finish(backup);
    if (status == SQLITE_DONE)
        return true;
    *error = stepFailure(target, status);
    return false;
}

QString copyFailure(const QString &failure)
{
    return failureMessage(u"Impossibile fare la copia di sicurezza dell'archivio: l'operazione "
                          u"non è stata eseguita."_s,
                          italianSystemError(failure));
}

// Partial files older than this are left by a run that was interrupted; younger ones may be
// another user's copy being written.
constexpr qint64 LeftoverAgeSeconds = 15 * 60;

} // namespace

void removeLeftovers(const QDir &folder, const QStringList &patterns)
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-LeftoverAgeSeconds);
    for (const QFileInfo &entry : folder.entryInfoList(
             patterns, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (entry.lastModified() >= before)
            continue;
        if (entry.isDir())
            QDir(entry.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(entry.absoluteFilePath());
    }
}

namespace {

void removeOldBackups(const Archive &archive)
{
    const QList<ArchiveBackup> backups = archiveBackups(archive);
    for (qsizetype i = keptBackups(); i < backups.size(); ++i)
        QFile::remove(backups[i].path);
}

// The path of a new copy in the archive's backup folder; empty with the reason in *error.
QString newBackupPath(const Archive &archive, const QString &what, QString *error)
{
    const QString folder = preparedBackupFolder(archive, error);
    if (folder.isEmpty())
        return {};
    // A copy never takes the place of another made in the same second.
    const QString stem = QDir(folder).filePath(
        u"contab-%1-%2"_s.arg(QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s), what));
    QString path = stem + u".mdb"_s;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + u"-%1.mdb"_s.arg(n);
    return path;
}

// Copies the database file as it lies on disk, read on the descriptor of a connection that
// holds it (to read or exclusively), so that nobody changes it meanwhile.
bool copyHeldFile(sqlite3 *connection, const QString &target, QString *error)
{
    const std::optional<qint64> size = databaseFileSize(connection);
    // A database kept in write-ahead mode has committed pages outside its file.
    const std::optional<QByteArray> versions = databaseFileBytes(connection, 18, 2);
    if (!size || !versions) {
        *error = u"Impossibile leggere il database dell'archivio."_s;
        return false;
    }
    if (*versions != QByteArrayLiteral("\x01\x01")) {
        *error = u"Il database dell'archivio è in modalità WAL, che il programma non usa."_s;
        return false;
    }
    OutputFile copy(target);
    if (!copy.open(error))
        return false;
    constexpr qint64 Chunk = 1 << 20;
    for (qint64 at = 0; at < *size; at += Chunk) {
        const std::optional<QByteArray> bytes = databaseFileBytes(connection, at, Chunk);
        if (!bytes || bytes->isEmpty()) {
            *error = u"Impossibile leggere il database dell'archivio."_s;
            return false;
        }
        copy.device().write(*bytes);
    }
    return copy.commit(error);
}

// Copies the archive's database for a backup. Under a read transaction no other user commits,
// so the file's bytes are the database: copied as they are, far faster than page by page. A
// database in write-ahead mode keeps committed pages outside its file, and is copied page by
// page.
bool copyForBackup(const QString &source, const QString &target, QString *error)
{
    const SqliteConnection from = openSqlite(source, SQLITE_OPEN_READONLY, error);
    if (!from)
        return false;
    if (databaseFileBytes(from.get(), 18, 2) != QByteArrayLiteral("\x01\x01") ||
        sqlite3_exec(from.get(), "BEGIN; SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr,
                     nullptr) != SQLITE_OK)
        return copyDatabaseFile(source, target, error);
    return copyHeldFile(from.get(), target, error);
}

// Writes the copy beside target, then puts it in place.
bool writeCopy(const Archive &archive, const QString &target, QString *error)
{
    removeLeftovers(QFileInfo(target).absoluteDir(), {QFileInfo(target).fileName() + u".*.part"_s});
    // Two copies started in the same second must not share their partial file.
    const QString partial =
        target + u".%1.part"_s.arg(QRandomGenerator::global()->generate64(), 0, 16);
    QString failure;
    if (copyForBackup(archive.databasePath(), partial, &failure) &&
        replaceFile(partial, target, &failure))
        return true;
    QFile::remove(partial);
    *error = copyFailure(failure);
    return false;
}

} // namespace

QString preparedBackupFolder(const Archive &archive, QString *error)
{
    QDir folder(archive.folder());
    if (!folder.mkpath(u"backup"_s)) {
        *error = u"Impossibile creare la cartella delle copie di sicurezza %1: l'operazione non è "
                 u"stata eseguita."_s.arg(QDir::toNativeSeparators(folder.filePath(u"backup"_s)));
        return {};
    }
    const QString path = folder.filePath(u"backup"_s);
    removeLeftovers(QDir(path), {u"*.part"_s, u".contab-*"_s, u".ripristino-*"_s});
    return path;
}

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
    const QString target = newBackupPath(archive, what, error);
    if (target.isEmpty() || !writeCopy(archive, target, error))
        return {};
    removeOldBackups(archive);
    return target;
}

bool replaceArchiveDatabase(const Archive &archive, const QString &replacement,
                            QString *replacedCopy, QString *error)
{
    const QString copyPath = newBackupPath(archive, u"ripristino"_s, error);
    if (copyPath.isEmpty())
        return false;
    QString failure;
    const SqliteConnection from = openSqlite(replacement, SQLITE_OPEN_READONLY, &failure);
    const SqliteConnection to =
        from ? openSqlite(archive.databasePath(), SQLITE_OPEN_READWRITE, &failure)
             : SqliteConnection();
    sqlite3_backup *backup =
        to ? sqlite3_backup_init(to.get(), "main", from.get(), "main") : nullptr;
    if (!backup) {
        *error = copyFailure(to ? sqliteFailure(to.get()) : failure);
        return false;
    }
    // The first step only takes the archive exclusively: from here until the last page is in,
    // no other user reads or writes it.
    int status = stepWaiting(backup, 0);
    const bool copied = status == SQLITE_OK && copyHeldFile(to.get(), copyPath, &failure);
    if (copied)
        status = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (!copied || status != SQLITE_DONE) {
        if (failure.isEmpty())
            failure = stepFailure(to.get(), status);
        *error = failureMessage(u"Ripristino non eseguito: l'archivio non è stato modificato."_s,
                                failure);
        return false;
    }
    removeOldBackups(archive);
    *replacedCopy = copyPath;
    return true;
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
