#pragma once

#include "data/Database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

// A table of the open archive as table maintenance edits it: every column and row, read with
// "SELECT *", and the columns of its primary key, which identify a row when it is written back.
struct ArchiveTable {
    enum class Kind {
        Text,
        Integer,
        Money, // integer ten-thousandths
        Date,  // ISO text
    };

    QString name;
    QStringList fields;
    QList<Kind> kinds;
    QList<int> keyColumns; // empty when the table has no primary key: the rows cannot be written
    std::vector<QVariantList> rows;

    // The key values of a row, in the order of keyColumns.
    QVariantList keyOf(const QVariantList &row) const;
};

// The archive's own tables in catalog order: no views, no tables of the engine. Empty with no
// open archive. Returns an empty list with the engine's text in *error when the catalog cannot
// be read.
QStringList archiveTableNames(const Archive &archive, QString *error = nullptr);

// Reads a table named by archiveTableNames. False with the reason in *error; a name that is not
// one of the archive's tables is refused without reaching the engine.
bool loadArchiveTable(const Archive &archive, const QString &name, ArchiveTable *table,
                      QString *error = nullptr);

// Writes one row on its own: an insert when key is empty (the columns left empty take their
// defaults), otherwise an update of the row that key names. On success *row holds what the
// archive stored (a new row gets its id). False with the engine's text in *error, nothing
// written.
bool writeArchiveRow(const Archive &archive, const ArchiveTable &table, const QVariantList &key,
                     QVariantList *row, QString *error = nullptr);

// Deletes the row that key names. False with the engine's text in *error.
bool deleteArchiveRow(const Archive &archive, const ArchiveTable &table, const QVariantList &key,
                      QString *error = nullptr);
