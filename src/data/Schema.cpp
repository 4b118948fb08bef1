#include "data/Schema.h"

#include "data/BankTables.h"
#include "data/Catalogue.h"
#include "data/EngineDialect.h"
#include "data/FinalPrints.h"
#include "data/MonthlyTotals.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The statements of the empty archive's text source, compiled into the program.
QStringList emptyArchiveStatements()
{
    QFile file(u":/schema/schema.sql"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    text.remove(QRegularExpression(u"--[^\n]*"_s));
    QStringList statements;
    for (const QString &statement : text.split(u';'))
        if (!statement.trimmed().isEmpty())
            statements.append(statement.trimmed());
    return statements;
}

bool isAccountCardsView(const QString &statement)
{
    static const QRegularExpression accountCards(u"^CREATE VIEW schede\\b"_s);
    return accountCards.match(statement).hasMatch();
}

// The empty archive's statements for the engine, with the account cards' view it reads fastest.
QStringList archiveStatements(Engine engine)
{
    QStringList statements = emptyArchiveStatements();
    for (QString &statement : statements)
        if (isAccountCardsView(statement))
            statement = dialectFor(engine).accountCardsView(statement);
    return statements;
}

// Every statement that makes an empty archive, in order, the engine's functions first.
QStringList programSchemaStatements(Engine engine = Engine::Sqlite)
{
    return dialectFor(engine).functionsFirst() + archiveStatements(engine) +
           monthlyTotalsSchema(engine) + finalPrintsSchema() + bankTablesSchema();
}

// The account cards' view of the running version on the connection's engine, in place of the
// one there.
bool replaceAccountCardsView(const Connection &connection, QString *error)
{
    QSqlQuery query = connection.query();
    const QStringList statements = archiveStatements(engineOf(connection.database()));
    const auto view = std::find_if(statements.cbegin(), statements.cend(), isAccountCardsView);
    return view != statements.cend() && runSql(query, u"DROP VIEW IF EXISTS schede"_s, {}, error) &&
           runSql(query, *view, {}, error);
}

// The same definition whatever its spacing.
QString normalized(const QString &sql)
{
    return sql.simplified();
}

// What the program's own schema holds, read from a database made in memory once, so the lists
// can never fall behind the statements.
struct ProgramSchema {
    QHash<QString, QString> objects; // type + name -> definition
    QHash<QString, QString> columns; // lower-case name -> the name as written
};

const ProgramSchema &programSchema()
{
    static ProgramSchema schema;
    static QMutex mutex;
    const QMutexLocker lock(&mutex);
    if (!schema.objects.isEmpty())
        return schema;
    const QString name = u"tovrin3-schema"_s;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(u":memory:"_s);
        if (db.open()) {
            QSqlQuery query(db);
            for (const QString &statement : programSchemaStatements())
                runSql(query, statement);
            runSql(query, fileDialect().schemaObjects());
            while (query.next())
                schema.objects.insert(query.value(0).toString() + u' ' + query.value(1).toString(),
                                      normalized(query.value(2).toString()));
            runSql(query,
                   u"SELECT DISTINCT c.name FROM sqlite_master t, pragma_table_info(t.name) c "
                   u"WHERE t.type IN ('table', 'view')"_s);
            while (query.next())
                schema.columns.insert(query.value(0).toString().toLower(),
                                      query.value(0).toString());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return schema;
}

const QHash<QString, QString> &programObjects()
{
    return programSchema().objects;
}

// The program's objects as the engine names them.
const QHash<QString, QString> &programObjects(Engine engine)
{
    if (engine == Engine::Sqlite)
        return programObjects();
    static const QHash<QString, QString> stored = [] {
        QHash<QString, QString> objects;
        for (auto it = programObjects().cbegin(); it != programObjects().cend(); ++it)
            objects.insert(serverDialect().storedName(it.key()), it.value());
        return objects;
    }();
    return stored;
}

QString objectKey(const QSqlDatabase &database, const SchemaObject &object)
{
    return dialectOf(database).storedName(object.type + u' ' + object.name);
}

QString quotedName(const QString &name)
{
    return u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"';
}

} // namespace

QString programColumnName(const QString &name)
{
    return programSchema().columns.value(name.toLower(), name);
}

bool ensureEntryVersions(const Connection &connection, QString *error)
{
    const QStringList columns = tableColumns(connection.database(), u"regmain"_s, error);
    if (columns.isEmpty())
        return error->isEmpty(); // no table to upgrade, or the engine failed
    if (columns.contains(u"versione"_s, Qt::CaseInsensitive))
        return true;
    QSqlQuery query = connection.query();
    // The account cards list each line's version: the view of an earlier version makes way.
    return runSql(query, u"ALTER TABLE regmain ADD COLUMN versione INTEGER NOT NULL DEFAULT 0"_s,
                  {}, error) &&
           replaceAccountCardsView(connection, error);
}

bool ensureServerAccountCards(const Connection &connection, QString *error)
{
    const QSqlDatabase database = connection.database();
    if (!isServer(database))
        return true;
    // Only the view's owner may replace it; a bookkeeper keeps reading the earlier one.
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT viewowner = current_user FROM pg_views WHERE schemaname = 'public' "
                u"AND viewname = 'schede' AND position('OVER' in definition) = 0"_s,
                {}, error))
        return false;
    return !query.next() || !query.value(0).toBool() || replaceAccountCardsView(connection, error);
}

bool ensureServerDateFunction(const Connection &connection, QString *error)
{
    const QSqlDatabase database = connection.database();
    if (!isServer(database))
        return true;
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT 1 FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
                u"JOIN pg_language l ON l.oid = p.prolang WHERE n.nspname = 'public' "
                u"AND p.proname = 'date' AND l.lanname = 'plpgsql' "
                u"AND pg_get_userbyid(p.proowner) = current_user"_s,
                {}, error))
        return false;
    return !query.next() || runStatements(database, serverDialect().functionsFirst(), error);
}

bool ensureServerNamesFolded(const Connection &connection, QString *error)
{
    const QSqlDatabase database = connection.database();
    if (!isServer(database))
        return true;
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT c.table_name, c.column_name FROM information_schema.columns c "
                u"JOIN information_schema.tables t ON t.table_schema = c.table_schema "
                u"AND t.table_name = c.table_name AND t.table_type = 'BASE TABLE' "
                u"WHERE c.table_schema = 'public' AND c.column_name <> lower(c.column_name)"_s,
                {}, error))
        return false;
    QStringList renames;
    const QSqlDriver *driver = database.driver();
    // Names come from the server's own catalogue, quoted as identifiers; never values.
    while (query.next())
        renames.append(u"ALTER TABLE %1 RENAME COLUMN %2 TO %3"_s.arg(
            driver->escapeIdentifier(query.value(0).toString(), QSqlDriver::TableName),
            driver->escapeIdentifier(query.value(1).toString(), QSqlDriver::FieldName),
            query.value(1).toString().toLower()));
    if (renames.isEmpty())
        return true;
    // The view, the monthly totals' trigger functions and the imitations of SQLite's catalogue
    // of the earlier version name the columns as they were: they are made again, and the
    // functions of this version come in.
    static const QStringList earlier =
        QStringList{u"DROP VIEW IF EXISTS schede"_s,
                    u"DROP VIEW IF EXISTS sqlite_master"_s,
                    u"DROP FUNCTION IF EXISTS pragma_table_info(text)"_s,
                    u"DROP FUNCTION IF EXISTS typeof(anyelement)"_s,
                    u"DROP FUNCTION IF EXISTS julianday(text)"_s,
                    u"DROP AGGREGATE IF EXISTS group_concat(anyelement)"_s,
                    u"DROP FUNCTION IF EXISTS group_concat_step(text, anyelement)"_s} +
        serverDialect().functionsFirst();
    QString failure;
    for (const QString &statement : earlier + renames)
        if (!runSql(query, statement, {}, &failure)) {
            *error =
                u"L'archivio sul server è di una versione precedente e va aggiornato dal "
                u"titolare dell'archivio, aprendolo una volta con il suo utente. %1"_s.arg(failure);
            return false;
        }
    return rebuildMonthlyTotals(connection, error) && replaceAccountCardsView(connection, error);
}

QStringList programSchemaFor(Engine engine)
{
    QStringList statements;
    for (const QString &statement : programSchemaStatements(engine))
        statements.append(dialectFor(engine).definition(statement));
    return statements;
}

bool createProgramSchema(const Connection &connection, QString *error)
{
    QSqlQuery query = connection.query();
    for (const QString &statement : programSchemaFor(engineOf(connection.database())))
        if (!runSql(query, statement, {}, error))
            return false;
    return true;
}

namespace {

struct CatalogueEntry {
    SchemaObject object;
    QString definition;
    bool administrators = false;
};

std::optional<QList<CatalogueEntry>> catalogue(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, dialectOf(database).schemaObjects(), {}, error))
        return std::nullopt;
    QList<CatalogueEntry> entries;
    while (query.next())
        entries.append({{query.value(0).toString(), query.value(1).toString()},
                        query.value(2).toString(),
                        query.value(3).toBool()});
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return std::pair(a.object.type, a.object.name) < std::pair(b.object.type, b.object.name);
    });
    return entries;
}

// The objects that are not the program's own: on a file each definition must match; the server
// writes definitions in words of its own, and there the names tell.
std::optional<QList<CatalogueEntry>> notProgramObjects(const QSqlDatabase &database, QString *error)
{
    const QHash<QString, QString> &own = programObjects(engineOf(database));
    const bool byName = isServer(database);
    std::optional<QList<CatalogueEntry>> entries = catalogue(database, error);
    if (!entries)
        return std::nullopt;
    QList<CatalogueEntry> others;
    for (const CatalogueEntry &entry : *entries) {
        const auto known = own.constFind(objectKey(database, entry.object));
        if (known == own.constEnd() || (!byName && *known != normalized(entry.definition)))
            others.append(entry);
    }
    return others;
}

// An index added on the server, or anything of an extension, changes no data the program
// reads or writes: the server's administrator may keep them.
bool isTolerated(const QSqlDatabase &database, const CatalogueEntry &entry)
{
    return isServer(database) && (entry.administrators || entry.object.type == u"index"_s);
}

} // namespace

std::optional<OtherSchemaObjects> otherSchemaObjects(const QSqlDatabase &database, QString *error)
{
    const std::optional<QList<CatalogueEntry>> others = notProgramObjects(database, error);
    if (!others)
        return std::nullopt;
    OtherSchemaObjects objects;
    for (const CatalogueEntry &entry : *others)
        (isTolerated(database, entry) ? objects.tolerated : objects.foreign).append(entry.object);
    return objects;
}

std::optional<QList<SchemaObject>> foreignSchemaObjects(const QSqlDatabase &database,
                                                        QString *error)
{
    std::optional<OtherSchemaObjects> objects = otherSchemaObjects(database, error);
    if (!objects)
        return std::nullopt;
    return std::move(objects->foreign);
}

QString foreignObjectsRefusal(const QList<SchemaObject> &objects)
{
    if (objects.isEmpty())
        return {};
    QStringList names;
    for (const SchemaObject &object : objects)
        names.append(object.type + u' ' + object.name);
    return u"L'archivio contiene oggetti non creati dal programma: %1. Per proteggere i dati non "
           u"vi si può scrivere; eseguire \"tovrin3-cli check --repair\" per rimuoverli."_s.arg(
               names.join(u", "_s));
}

bool restoreProgramSchemaObjects(const Connection &connection, QString *error)
{
    if (!ensureEntryVersions(connection, error))
        return false;
    const std::optional<QList<SchemaObject>> foreign =
        foreignSchemaObjects(connection.database(), error);
    if (!foreign)
        return false;
    QSqlQuery query = connection.query();
    // Names come from the archive's own catalogue, quoted as identifiers; never values.
    for (const SchemaObject &object : *foreign)
        if (!runSql(query,
                    u"DROP %1 IF EXISTS %2"_s.arg(object.type.toUpper(), quotedName(object.name)),
                    {}, error))
            return false;
    const std::optional<QList<CatalogueEntry>> entries = catalogue(connection.database(), error);
    if (!entries)
        return false;
    QSet<QString> present;
    for (const CatalogueEntry &entry : *entries)
        present.insert(objectKey(connection.database(), entry.object));
    static const QRegularExpression createObject(
        u"^CREATE\\s+(?:UNIQUE\\s+)?(TRIGGER|VIEW|INDEX)\\s+(\\w+)"_s,
        QRegularExpression::CaseInsensitiveOption);
    const Engine engine = engineOf(connection.database());
    for (const QString &statement : programSchemaStatements(engine)) {
        const QRegularExpressionMatch match = createObject.match(statement);
        if (match.hasMatch() &&
            !present.contains(objectKey(connection.database(),
                                        {match.captured(1).toLower(), match.captured(2)})) &&
            !runDefinition(query, statement, error))
            return false;
    }
    return true;
}
