#pragma once

#include "data/Database.h"

#include <QDateTime>
#include <QDir>
#include <QList>
#include <QString>

// Copies of an archive's database. Every copy is made with SQLite's online backup, which reads
// the database in one transaction: a copy taken while another user writes is consistent.

// Copies the archive's database into its "backup" folder before a change that rewrites much of
// it, as contab-AAAAMMGG-HHMMSS-<what>.mdb, then removes the oldest copies beyond
// keptBackups(). What interrupted copies and restores left in the folder goes first. Returns the
// copy's path, or an empty text with the Italian reason in *error; the caller then changes nothing.
// A server archive is not copied: the text returned says so (serverBackupNote), and its backups are
// the server's (pg_dump).
QString backupArchive(const Archive &archive, const QString &what, QString *error);
QString serverBackupNote(const Archive &archive);

// Copies the archive's database to target, a file the user chose (refused like every output
// that could land on an archive). False with the Italian reason in *error.
bool saveArchiveCopy(const Archive &archive, const QString &target, QString *error);

// Puts the database file at replacement in place of the archive's database (a restore). The
// archive is held exclusively from before its database is copied into the backup folder (named
// as backupArchive names its copies, for "ripristino") until the last page of the replacement is
// in: other users wait, or are told the archive is in use, and whatever they saved before is in
// that copy, whose path goes into *replacedCopy. False with the Italian reason in *error; the
// archive is then as it was.
bool replaceArchiveDatabase(const Archive &archive, const QString &replacement,
                            QString *replacedCopy, QString *error);

// Removes from folder the entries matching patterns that an interrupted copy, restore or
// migration left: those not touched for a quarter of an hour (a younger one may be another
// user's copy being written).
void removeLeftovers(const QDir &folder, const QStringList &patterns);

// The archive's backup folder, made when missing and cleared of what interrupted copies and
// restores left there; empty with the Italian reason in *error.
QString preparedBackupFolder(const Archive &archive, QString *error);

// How many copies the backup folder keeps (a per-user preference, 20 by default, at least 1).
int keptBackups();
bool setKeptBackups(int count, QString *error);

// A copy in the archive's backup folder.
struct ArchiveBackup {
    QString path;
    QDateTime takenAt;
    QString operation; // what was about to run: "chiusura", "riapertura", ...
    qint64 size = 0;
};

// The copies in the archive's backup folder, newest first.
QList<ArchiveBackup> archiveBackups(const Archive &archive);

// Copies the database file at source into the database file at target with the online backup
// (target is created when missing); the target's other users see the old or the new database,
// never a mixture. False with the engine's text in *error.
bool copyDatabaseFile(const QString &source, const QString &target, QString *error);
