#pragma once

#include "archive/ChartTemplates.h"
#include "data/Database.h"

#include <QString>

class FiscalEnvironment;

// What the user chose for a new archive.
struct NewArchiveRequest {
    QString baseFolder;
    QString nome; // as typed; its folder takes archiveNameFrom(nome)
    ChartTemplate chart;
    int startMonth = 1;
    bool makeCurrent = true; // the new archive becomes the program's current one
    // The empty database on a server that gets the data; none for a file in the folder.
    std::optional<ServerLocation> server = std::nullopt;
};

// The longest name of an archive's folder after "tv3_".
constexpr int ArchiveNameLength = 16;
// The name of an archive's folder from the name typed: the letters, lower-cased and without
// accents, and the digits of every word ("Amici del Parco" gives "amicidelparco").
QString archiveNameFrom(const QString &typed);
// The Italian message that refuses a typed name (no letter or digit, or too long a folder name);
// empty when the name is fine.
QString archiveNameProblem(const QString &typed);

// The folder of a new archive: the base folder, then "tv3_" and the name's folder name.
QString archiveFolderFor(const QString &baseFolder, const QString &typed);
// The message that refuses a new archive folder that already exists; empty when it is free.
QString existingFolderRefusal(const QString &folder);

// Creates the archive folder with its sub-folders, the database copied from the program's
// empty archive (moved onto the server when the request names one), the spreadsheet templates,
// the chart and the parameters, then, when the
// request says so, makes it the per-user dataPath, the archive the program opens. The templates
// are read from programFolder. On failure everything created is removed, dataPath stays as it
// was, and *error says why.
bool createArchive(const NewArchiveRequest &request, const QString &programFolder, QString *error);

// Copies the chart foglio of the template database into the archive on the connection:
// ledgers by code, accounts by code within each ledger, sub-accounts in template order, and
// the role parameters named by the sub-accounts' sTipo.
bool importChart(const Connection &archive, const QString &pdcPath, const QString &foglio,
                 QString *error);

// Makes the archive in folder the current one and recomputes the environment for it. A folder
// without a usable archive changes nothing: returns false with the reason in *error (the
// Italian message of the refusal).
bool openArchive(const QString &folder, FiscalEnvironment &environment, QString *error);
