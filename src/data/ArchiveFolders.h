#pragma once

#include <QString>

// Which archive the program opens: the per-user setting dataPath. Only the program's start-up
// and its commands that switch archives read it; everything below is handed the archive.
class ArchiveFolders {
public:
    QString dataFolder() const;

    // True when dbPath is not empty and holds "allegati", "modelli" and the file "contab.mdb",
    // checked in that order. "documenti" is not required.
    static bool isArchiveFolder(const QString &dbPath);
};
