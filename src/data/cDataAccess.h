#pragma once

#include "data/Database.h"

#include <QDate>
#include <QString>

// Where the current archive's folders are. Every call reads the per-user setting dataPath
// again, so a change of archive is seen at once.
class cDataAccess {
public:
    QString dataFolder() const;
    QString dataModelliFolder() const;
    QString dataAllegatiFolder() const;
    QString dataDocumentiFolder() const;

    // Removes the headers without rows and numbers the entries dated first..last, in one
    // transaction. Returns false with the engine's text in *error, nothing changed.
    static bool RicalcoloProgressivi(const Archive &archive, const QDate &first, const QDate &last,
                                     QString *error = nullptr);
    // Removes the headers without rows. Returns false with the engine's text in *error.
    static bool EliminaMainSenzaDet(const Archive &archive, QString *error = nullptr);

    // True when dbPath is not empty and holds "allegati", "modelli" and the file "contab.mdb",
    // checked in that order. "documenti" is not required.
    static bool TestDbPathOK(const QString &dbPath);
};
