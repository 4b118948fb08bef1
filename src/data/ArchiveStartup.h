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

// Raises the archive's aMajor and aMinor, each on its own, to the running version when the
// stored value is lower or missing, and adds what an earlier version's archive lacks (the
// monthly totals, the table of final prints of the journal book), all in one transaction. Returns
// false with the engine's text in *error.
bool stampVersion(const Archive &archive, QString *error = nullptr);
