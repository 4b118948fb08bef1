#pragma once

#include "data/Database.h"

#include <QString>

// Puts a copy of an archive (a backup, or a file the user names) in place of the archive's
// database. The copy must be a sound archive of this program: the engine finds it whole, it
// holds the program's tables, it is not of a newer version, and its check finds nothing
// (an archive of an earlier version, or without a version, is brought up to this one). The
// database it replaces is kept in the backup folder first, whose path goes into *replacedBackup.
// Entry numbers out of date order do not keep a copy out: *notice (when given) then says so.
// False with the Italian reason in *error: the archive is untouched.
bool restoreArchive(const Archive &archive, const QString &copyPath, QString *replacedBackup,
                    QString *error, QString *notice = nullptr);
