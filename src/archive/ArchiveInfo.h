#pragma once

#include "data/FiscalEnvironment.h"

#include <QDate>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line tells about an archive for a working date.
struct ArchiveInfo {
    int aMajor = -1;
    int aMinor = -1;
    int startMonth = 1;
    QDate eseDate1, eseDate2, eseDate1Prev, eseDate2Prev;
    QString esercizioString;
    QString lastRegDate;
    QString location;             // where the data lives: the file, or the server database
    QMap<QString, qint64> counts; // rows of each table of the chart and the journal

    QJsonObject toJson() const;
    QStringList toLines() const;
};

// Reads the facts of the archive in dataFolder, only reading. On failure returns nothing and
// puts a one-line Italian reason into *error.
std::optional<ArchiveInfo> readArchiveInfo(const QString &dataFolder, const QDate &workingDate,
                                           QString *error);
