#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

// What an archive's schema holds, each engine asked from its own catalogue: a file's
// sqlite_master and table_info, a server's pg_catalog and information_schema. Names compare
// without regard to case, as both engines read the program's unquoted names.

// Whether the schema has a table, index, view or trigger of that name; nothing on failure.
std::optional<bool> schemaObjectExists(const QSqlDatabase &database, const QString &type,
                                       const QString &name, QString *error = nullptr);

// The names of the schema's triggers; nothing on failure.
std::optional<QStringList> schemaTriggers(const QSqlDatabase &database, QString *error);

// The names of the table's columns, in order; none for a missing table or on failure.
QStringList tableColumns(const QSqlDatabase &database, const QString &table,
                         QString *error = nullptr);

// The length declared for a text column (VARCHAR(100) gives 100); nothing when none is.
std::optional<int> declaredTextLength(const QSqlDatabase &database, const QString &table,
                                      const QString &column);
