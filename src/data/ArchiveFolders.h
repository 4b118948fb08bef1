#pragma once

#include <QString>

// Where the current archive's folders are. Every call reads the per-user setting dataPath
// again, so a change of archive is seen at once.
class ArchiveFolders {
public:
    QString dataFolder() const;
    QString templatesFolder() const;
    QString attachmentsFolder() const;
    QString documentsFolder() const;

    // True when dbPath is not empty and holds "allegati", "modelli" and the file "contab.mdb",
    // checked in that order. "documenti" is not required.
    static bool isArchiveFolder(const QString &dbPath);
};
