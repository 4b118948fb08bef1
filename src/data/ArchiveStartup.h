#pragma once

#include "data/Database.h"

#include <QString>

namespace ProgramVersion {
constexpr int Major = 3;
constexpr int Minor = 5;
// Counts the builds released within one major.minor; the archive does not record it.
constexpr int Revision = 0;
} // namespace ProgramVersion

// The Italian message, in lines joined by '\n', that keeps the archive in dataFolder from being
// opened: an incomplete folder, a database file of another kind (an old Access archive) or one
// the engine cannot read. Empty when the archive opens. Nothing is written to the folder except
// the rollback of a commit left unfinished (a crash, a power cut), so that the archive holds
// the state before it.
QString archiveFolderProblem(const QString &dataFolder);

// The warning for an archive file kept on a network filesystem (NFS, SMB/CIFS), whose locks do
// not keep two writers apart; empty for a local file or a server archive.
QString networkFolderWarning(const Archive &archive);

// Readies the archive for the program or a command that writes, in one transaction: refuses an
// archive that holds triggers, views or indexes the program did not create (the refusal in
// *error, nothing written); raises aMajor and aMinor, each on its own, to the running version
// when the stored value is lower or missing; adds what an earlier version's archive lacks (the
// monthly totals, the table of final prints of the journal book, the flag of the cash and bank
// accounts, the tables of imported bank statements); and rebuilds the monthly totals when they
// no longer agree with the entries. Returns false with the reason in *error.
bool openForWriting(const Archive &archive, QString *error = nullptr);
