#pragma once

#include "data/Database.h"

#include <QString>

// Moving an archive between a file and a server database, and making one on a server. A copy
// keeps every table and every id, sets the generators of ids where the original left them,
// rebuilds the monthly totals, and is then checked against the original: the same rows in every
// table, the same balance of every sub-account in every month (so in every fiscal year), and
// the check of the archive sound. The original is never changed.

// Copies the archive (a file) into the empty server database and writes server.ini in the
// archive's folder, beside the file, which stays as it was.
bool migrateToServer(const Archive &archive, const ServerLocation &server, QString *error);

// Copies the archive (on a server) into a new file made from the program's empty archive.
bool migrateToFile(const Archive &archive, const QString &file, const QString &programFolder,
                   QString *error);

// Moves a just created file archive onto the server: the copy, then server.ini in place of the
// file.
bool moveNewArchiveToServer(const Archive &archive, const ServerLocation &server, QString *error);
