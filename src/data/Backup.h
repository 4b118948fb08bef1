#pragma once

#include "data/Database.h"

#include <QString>

// Copies the archive's database into its "backup" folder before a change that rewrites much of
// it, as a complete database of its own: contab-AAAAMMGG-HHMMSS-<what>.mdb. The copy is read
// in one transaction, so it is consistent even while another user writes. Returns the copy's
// path, or an empty text with the Italian reason in *error; the caller then changes nothing.
QString backupArchive(const Archive &archive, const QString &what, QString *error);
