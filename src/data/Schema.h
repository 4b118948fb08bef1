#pragma once

#include "data/Database.h"
#include "data/EngineDialect.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The archive's schema as the program creates it: the tables, indexes and view of the empty
// archive, the monthly totals with their triggers, the table of final prints. Triggers, views
// and indexes are the program's alone: one planted by another tool could change what is written
// or read without a word, so an archive holding one is not written to.

// Every statement that makes an empty archive on the engine, in order, as the engine is given
// it.
QStringList programSchemaFor(Engine engine);

// Makes the program's schema in an empty database: every statement of an empty archive, in
// order.
bool createProgramSchema(const Connection &connection, QString *error);

// Gives the entries of an archive of an earlier version their version column (every entry at 0)
// and the account cards' view that lists it, inside the caller's transaction; nothing to do on
// an archive that has them.
bool ensureEntryVersions(const Connection &connection, QString *error);

// Gives a server archive of an earlier version the server's own account cards' view, which
// reads the other side of each entry once instead of once per line; only when the user owns
// the view (the earlier one gives the same lines, slower).
bool ensureServerAccountCards(const Connection &connection, QString *error);

// Gives a server archive of an earlier version the server's own date(), read inline where a table
// checks its dates; only when the user owns the function (the earlier one gives the same dates,
// slower).
bool ensureServerDateFunction(const Connection &connection, QString *error);

// A column's name as the program writes it ("idRegMain" for "idregmain"): a server gives the
// names of its columns in lower case. A name the program does not know stays as it is.
QString programColumnName(const QString &name);

// Gives a server archive of an earlier version, whose column names kept their capitals
// ("idRegMain"), the names the program's statements reach unquoted; only its owner may.
bool ensureServerNamesFolded(const Connection &connection, QString *error);

struct SchemaObject {
    QString type; // "trigger", "view" or "index"
    QString name;

    bool operator==(const SchemaObject &) const = default;
};

// The triggers, views and indexes of the archive that the program did not create, or whose
// definition differs from the program's, by name; on a server, the administrator's indexes and
// extensions aside.
std::optional<QList<SchemaObject>> foreignSchemaObjects(const QSqlDatabase &database,
                                                        QString *error);

// The objects the program did not create: those that refuse writing (foreignSchemaObjects) and,
// on a server, the indexes its administrator added and the objects of its extensions, which are
// kept and listed by the check as information.
struct OtherSchemaObjects {
    QList<SchemaObject> foreign;
    QList<SchemaObject> tolerated;
};
std::optional<OtherSchemaObjects> otherSchemaObjects(const QSqlDatabase &database, QString *error);

// The refusal of an archive holding foreign objects, naming them; empty when there are none.
QString foreignObjectsRefusal(const QList<SchemaObject> &objects);

// Drops the foreign objects and creates the program's own triggers, views and indexes that are
// missing, inside the caller's transaction. The monthly totals are not rebuilt here.
bool restoreProgramSchemaObjects(const Connection &connection, QString *error);
