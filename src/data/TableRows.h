#pragma once

#include "data/Database.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// One row of an archive table written as table maintenance edits it, by the table's own columns.
// Table and column names come from the archive's catalogue and are quoted as identifiers; values
// are always bound. Each works inside the caller's transaction; false with the engine's text in
// *error.

// A table or column name quoted for the connection's engine.
QString quotedIdentifier(const Connection &connection, const QString &identifier);

// Inserts the row; the columns left null take their defaults. When the table has one key column
// left null, the id the engine gave goes into it.
bool insertTableRow(const Connection &connection, const QString &table, const QStringList &columns,
                    const QStringList &keyColumns, QVariantList *row, QString *error);
// Updates every column of the row that key names; a key that names no row is a failure.
bool updateTableRow(const Connection &connection, const QString &table, const QStringList &columns,
                    const QStringList &keyColumns, const QVariantList &key, const QVariantList &row,
                    QString *error);
bool deleteTableRow(const Connection &connection, const QString &table,
                    const QStringList &keyColumns, const QVariantList &key, QString *error);
