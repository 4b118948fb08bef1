#include "data/ServerDialect.h"

#include "data/Database.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSqlDriver>

using namespace Qt::StringLiterals;

namespace {

// Advisory lock keys: the archive, and the fiscal years (year in the second key).
constexpr int ArchiveLockKey = 7301;
constexpr int YearLockKey = 7302;
constexpr int BankLockKey = 7303;

bool isMixedCase(QStringView word)
{
    bool lower = false;
    bool upper = false;
    for (const QChar c : word) {
        lower = lower || c.isLower();
        upper = upper || c.isUpper();
    }
    return lower && upper;
}

// A GLOB pattern ('*[^0-9]*') as an anchored regular expression.
QString globAsRegex(QStringView glob)
{
    QString regex = u"^"_s;
    bool inClass = false;
    for (const QChar c : glob) {
        if (inClass) {
            regex += c;
            inClass = c != u']';
        } else if (c == u'*') {
            regex += u".*"_s;
        } else if (c == u'?') {
            regex += u'.';
        } else if (c == u'[') {
            regex += c;
            inClass = true;
        } else {
            regex += QRegularExpression::escape(QString(c));
        }
    }
    return regex + u'$';
}

// SQLite's checks of its own file, answered on the server, which keeps its files sound and its
// foreign keys enforced.
QString pragmaOnServer(const QString &sql)
{
    const QString pragma = sql.simplified().toLower();
    if (pragma == u"pragma integrity_check"_s || pragma == u"pragma quick_check"_s)
        return u"SELECT 'ok'"_s;
    if (pragma == u"pragma foreign_key_check"_s)
        return u"SELECT NULL, NULL, NULL, NULL WHERE false"_s;
    return u"SELECT 1"_s;
}

// Whether the words after a parenthesis name what it holds ("AS t" or "t").
bool isNamedAfter(const QString &sql, qsizetype at)
{
    static const QRegularExpression next(u"\\G\\s*([A-Za-z_]\\w*)"_s);
    const QRegularExpressionMatch match = next.match(sql, at);
    if (!match.hasMatch())
        return false;
    static const QStringList clauses{
        u"WHERE"_s,  u"GROUP"_s,  u"ORDER"_s,   u"JOIN"_s,      u"LEFT"_s,  u"INNER"_s,
        u"CROSS"_s,  u"UNION"_s,  u"EXCEPT"_s,  u"INTERSECT"_s, u"LIMIT"_s, u"ON"_s,
        u"HAVING"_s, u"WINDOW"_s, u"NATURAL"_s, u"FULL"_s,      u"RIGHT"_s, u"OFFSET"_s};
    return !clauses.contains(match.captured(1).toUpper());
}

// SQLite's "a IS b" and "a IS NOT b" compare values as equal when both are null; the server
// says it in words of its own. "IS NULL" and "IS NOT NULL" stay. Returns where the words read
// end.
qsizetype nullSafeComparison(const QString &sql, qsizetype after, QString *out)
{
    static const QRegularExpression next(u"\\G(\\s+NOT)?(\\s+)(\\w+)"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = next.match(sql, after);
    static const QStringList kept{u"NULL"_s, u"TRUE"_s, u"FALSE"_s, u"DISTINCT"_s};
    if (!match.hasMatch() || kept.contains(match.captured(3).toUpper())) {
        *out += u"IS"_s;
        return after;
    }
    *out += match.hasCaptured(1) ? u"IS DISTINCT FROM"_s : u"IS NOT DISTINCT FROM"_s;
    return match.capturedStart(2);
}

QString translate(const QString &statement)
{
    if (statement.trimmed().startsWith(u"PRAGMA"_s, Qt::CaseInsensitive))
        return pragmaOnServer(statement);
    const QString sql = statement.trimmed().startsWith(u"CREATE TABLE"_s, Qt::CaseInsensitive)
                            ? serverTableDefinition(statement)
                            : statement;
    QString out;
    out.reserve(sql.size() + 32);
    bool globPattern = false;
    // For each open parenthesis, whether it opens a query read as a table in FROM or JOIN, which
    // the server wants named (a parenthesis grouping joins is not one).
    QList<bool> derived;
    QString lastWord;
    int aliases = 0;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql[i];
        if (c == u'\'') {
            qsizetype end = i + 1;
            while (end < n && !(sql[end] == u'\'' && (end + 1 >= n || sql[end + 1] != u'\'')))
                end += sql[end] == u'\'' ? 2 : 1;
            const QStringView literal = QStringView(sql).mid(i + 1, end - i - 1);
            out += globPattern ? u'\'' + globAsRegex(literal) + u'\''
                               : u'\'' + literal.toString() + u'\'';
            globPattern = false;
            i = end + 1;
        } else if (c == u'"') {
            const qsizetype end = sql.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            const qsizetype stop = end < 0 ? n : end;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c.isLetter() || c == u'_') {
            qsizetype end = i + 1;
            while (end < n && (sql[end].isLetterOrNumber() || sql[end] == u'_'))
                ++end;
            const QStringView word = QStringView(sql).mid(i, end - i);
            const bool qualified = i > 0 && sql[i - 1] == u'.';
            if (isMixedCase(word)) {
                out += u'"' + word.toString() + u'"';
            } else if (!qualified && word.compare(u"GLOB"_s, Qt::CaseInsensitive) == 0) {
                static const QRegularExpression trailingNot(
                    u"\\bNOT\\s+$"_s, QRegularExpression::CaseInsensitiveOption);
                const QRegularExpressionMatch negated = trailingNot.match(out);
                if (negated.hasMatch())
                    out.truncate(negated.capturedStart());
                out += negated.hasMatch() ? u"!~"_s : u"~"_s;
                globPattern = true;
            } else if (!qualified && word.compare(u"IS"_s, Qt::CaseInsensitive) == 0) {
                end = nullSafeComparison(sql, end, &out);
            } else if (!qualified && word.compare(u"CROSS"_s, Qt::CaseInsensitive) == 0) {
                // The program writes "CROSS JOIN ... ON" only to fix SQLite's join order; the
                // server plans the order itself and wants a plain JOIN with its ON.
                static const QRegularExpression join(u"\\G\\s+JOIN\\b"_s,
                                                     QRegularExpression::CaseInsensitiveOption);
                if (!join.match(sql, end).hasMatch())
                    out += word;
            } else if (!qualified && word.compare(u"LIKE"_s, Qt::CaseInsensitive) == 0) {
                out += u"ILIKE"_s;
            } else {
                out += word;
            }
            lastWord = word.toString().toUpper();
            i = end;
        } else {
            if (c == u'(') {
                static const QRegularExpression query(u"\\G\\s*(SELECT|WITH|VALUES)\\b"_s,
                                                      QRegularExpression::CaseInsensitiveOption);
                derived.append((lastWord == u"FROM"_s || lastWord == u"JOIN"_s) &&
                               query.match(sql, i + 1).hasMatch());
            } else if (c == u')' && !derived.isEmpty() && derived.takeLast() &&
                       !isNamedAfter(sql, i + 1)) {
                out += u") AS derived_"_s + QString::number(++aliases);
                lastWord.clear();
                ++i;
                continue;
            }
            if (!c.isSpace())
                lastWord.clear();
            out += c;
            ++i;
        }
    }
    return out;
}

bool runLock(const QSqlDatabase &database, const QString &sql, const QVariantList &keys,
             QString *error)
{
    if (!isServer(database))
        return true;
    QSqlQuery query(database);
    return runSql(query, sql, keys, error);
}

} // namespace

Engine engineOf(const QSqlDatabase &database)
{
    return database.driverName() == u"QPSQL"_s ? Engine::Postgres : Engine::Sqlite;
}

QString serverStatement(const QString &sql)
{
    static QMutex mutex;
    static QHash<QString, QString> known;
    const QMutexLocker lock(&mutex);
    if (const auto found = known.constFind(sql); found != known.cend())
        return *found;
    // Statements that carry ids in their text are many: the memory stays bounded.
    if (known.size() > 4096)
        known.clear();
    return *known.insert(sql, translate(sql));
}

QString serverTableDefinition(const QString &createTable)
{
    QString sql = createTable;
    sql.replace(QRegularExpression(u"\\bINTEGER PRIMARY KEY AUTOINCREMENT\\b"_s),
                u"BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"_s);
    sql.replace(QRegularExpression(u"\\bINTEGER\\b"_s), u"BIGINT"_s);
    sql.replace(QRegularExpression(u"\\bDATE\\b(?!\\s*\\()"_s), u"VARCHAR(10)"_s);
    // The column's type already keeps anything but an integer out.
    sql.replace(QRegularExpression(u"typeof\\((\\w+)\\) = 'integer' AND "_s), QString());
    sql.remove(QRegularExpression(u"\\s*WITHOUT ROWID"_s));
    return sql;
}

const QStringList &serverCompatibilitySchema()
{
    static const QStringList statements{
        // date(text, '+N days') as SQLite's: a day past the month's end runs into the next
        // month ('2024-02-30' is '2024-03-01'), anything else not a date is NULL.
        uR"(CREATE FUNCTION date(value text, modifier text DEFAULT '+0 days') RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
    IF value = 'now' THEN
        RETURN to_char(current_date, 'YYYY-MM-DD');
    END IF;
    IF value !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}$' OR CAST(substr(value, 9, 2) AS integer) > 31 THEN
        RETURN NULL;
    END IF;
    RETURN to_char(make_date(CAST(substr(value, 1, 4) AS integer),
                             CAST(substr(value, 6, 2) AS integer), 1)
                   + CAST(substr(value, 9, 2) AS integer) - 1
                   + CAST(split_part(modifier, ' ', 1) AS integer), 'YYYY-MM-DD');
EXCEPTION WHEN others THEN
    RETURN NULL;
END $$)"_s,
        uR"(CREATE FUNCTION julianday(value text) RETURNS double precision
LANGUAGE sql IMMUTABLE AS $$ SELECT (CAST(value AS date) - DATE '2000-01-01') + 2451544.5 $$)"_s,
        uR"(CREATE FUNCTION typeof(value anyelement) RETURNS text LANGUAGE sql IMMUTABLE AS $$
SELECT CASE WHEN value IS NULL THEN 'null'
            WHEN pg_typeof(value) IN ('bigint'::regtype, 'integer'::regtype, 'smallint'::regtype)
            THEN 'integer'
            WHEN pg_typeof(value) IN ('double precision'::regtype, 'numeric'::regtype) THEN 'real'
            WHEN pg_typeof(value) = 'bytea'::regtype THEN 'blob'
            ELSE 'text' END $$)"_s,
        uR"(CREATE FUNCTION pragma_table_info(tablename text)
RETURNS TABLE (cid integer, name text, type text, notnull integer, dflt_value text, pk integer)
LANGUAGE sql STABLE AS $$
SELECT CAST(c.ordinal_position - 1 AS integer), CAST(c.column_name AS text),
       CASE WHEN c.data_type IN ('bigint', 'integer') THEN 'INTEGER'
            WHEN c.data_type = 'character varying' THEN 'VARCHAR(' || c.character_maximum_length || ')'
            ELSE upper(c.data_type) END,
       CASE WHEN c.is_nullable = 'NO' THEN 1 ELSE 0 END, CAST(c.column_default AS text), 0
  FROM information_schema.columns c
 WHERE c.table_schema = 'public' AND c.table_name = tablename
 ORDER BY c.ordinal_position $$)"_s,
        uR"(CREATE FUNCTION group_concat_step(list text, value anyelement) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
SELECT CASE WHEN value IS NULL THEN list WHEN list IS NULL THEN CAST(value AS text)
            ELSE list || ',' || CAST(value AS text) END $$)"_s,
        u"CREATE AGGREGATE group_concat(anyelement) (SFUNC = group_concat_step, STYPE = text)"_s,
        // Letters as the program sorts them: without regard to case or accents.
        u"CREATE COLLATION italiano (provider = icu, locale = 'und-u-ks-level1', "
        u"deterministic = false)"_s,
        uR"(CREATE VIEW sqlite_master AS
SELECT 'table' AS type, CAST(c.relname AS text) AS name, CAST(c.relname AS text) AS tbl_name,
       CAST(NULL AS text) AS sql
  FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
 WHERE n.nspname = 'public' AND c.relkind = 'r'
UNION ALL
SELECT 'view', CAST(c.relname AS text), CAST(c.relname AS text), pg_get_viewdef(c.oid)
  FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
 WHERE n.nspname = 'public' AND c.relkind = 'v' AND c.relname <> 'sqlite_master'
UNION ALL
SELECT 'index', CAST(c.relname AS text), CAST(t.relname AS text), pg_get_indexdef(c.oid)
  FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid JOIN pg_class t ON t.oid = i.indrelid
  JOIN pg_namespace n ON n.oid = c.relnamespace
 WHERE n.nspname = 'public'
   AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conindid = c.oid)
UNION ALL
SELECT 'trigger', CAST(g.tgname AS text), CAST(t.relname AS text), pg_get_triggerdef(g.oid)
  FROM pg_trigger g JOIN pg_class t ON t.oid = g.tgrelid
  JOIN pg_namespace n ON n.oid = t.relnamespace
 WHERE n.nspname = 'public' AND NOT g.tgisinternal)"_s,
    };
    return statements;
}

bool lockArchiveShared(const QSqlDatabase &database, QString *error)
{
    return runLock(database, u"SELECT pg_advisory_xact_lock_shared(?, 0)"_s, {ArchiveLockKey},
                   error);
}

bool lockWholeArchive(const QSqlDatabase &database, QString *error)
{
    return runLock(database, u"SELECT pg_advisory_xact_lock(?, 0)"_s, {ArchiveLockKey}, error);
}

bool lockFiscalYear(const QSqlDatabase &database, int year, QString *error)
{
    return runLock(database, u"SELECT pg_advisory_xact_lock(?, ?)"_s, {YearLockKey, year}, error);
}

bool lockBankStatements(const QSqlDatabase &database, qint64 bank, QString *error)
{
    return runLock(database, u"SELECT pg_advisory_xact_lock(?, ?)"_s, {BankLockKey, int(bank)},
                   error);
}

std::optional<bool> serverDatabaseIsEmpty(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = 'public'"_s,
                {}, error) ||
        !query.next())
        return std::nullopt;
    return query.value(0).toLongLong() == 0;
}

std::optional<qint64> highestIdGiven(const QSqlDatabase &database, const QString &table)
{
    QSqlQuery query(database);
    const QString sql = isServer(database)
                            ? u"SELECT COALESCE(last_value, 0) FROM pg_sequences "
                              u"WHERE schemaname = 'public' AND sequencename = ? || '_id_seq'"_s
                            : u"SELECT seq FROM sqlite_sequence WHERE name = ?"_s;
    if (!runSql(query, sql, {table}) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

bool setHighestIdGiven(const QSqlDatabase &database, const QString &table, qint64 id,
                       QString *error)
{
    QSqlQuery query(database);
    if (isServer(database))
        return runSql(query, u"SELECT setval(? || '_id_seq', ?, ?)"_s,
                      {table, std::max<qint64>(id, 1), id > 0}, error);
    return runSql(query, u"DELETE FROM sqlite_sequence WHERE name = ?"_s, {table}, error) &&
           runSql(query, u"INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"_s, {table, id},
                  error);
}

bool keepIdsAheadOfRows(const QSqlDatabase &database, QString *error)
{
    if (!isServer(database))
        return true;
    QSqlQuery tables(database);
    if (!runSql(tables,
                u"SELECT table_name FROM information_schema.columns WHERE table_schema = "
                u"'public' AND column_name = 'id' AND is_identity = 'YES' ORDER BY table_name"_s,
                {}, error))
        return false;
    QStringList names;
    while (tables.next())
        names.append(tables.value(0).toString());
    QSqlQuery top(database);
    for (const QString &table : names) {
        // Names come from the server's catalogue, quoted as identifiers; never values.
        const QString quoted = database.driver()->escapeIdentifier(table, QSqlDriver::TableName);
        if (!runSql(top, u"SELECT COALESCE(MAX(id), 0) FROM "_s + quoted, {}, error) || !top.next())
            return false;
        if (!keepIdsPast(database, table, top.value(0).toLongLong(), error))
            return false;
    }
    return true;
}

bool keepIdsPast(const QSqlDatabase &database, const QString &table, qint64 id, QString *error)
{
    if (!isServer(database))
        return true;
    const std::optional<qint64> given = highestIdGiven(database, table);
    return given && (*given >= id || setHighestIdGiven(database, table, id, error));
}

const QString &serverAccountCardsView()
{
    // The lines as the file's view gives them. Instead of asking, line by line, which sub-accounts
    // stand on the entry's other side, each line reads the lowest and highest of them from the
    // lines of its own entry; the window is partitioned by the entry's date too, so that a
    // filter on the date still reaches the index of the headers.
    static const QString view = uR"(CREATE VIEW schede AS
SELECT
    s.conto            AS conto,
    c.id               AS cId,
    s.idRegMain        AS rmId,
    s.rdId             AS rdId,
    s.riga             AS riga,
    s.data             AS data,
    s.progressivo      AS progressivo,
    s.tipo             AS tipo,
    s.versione         AS versione,
    s.descrizione      AS descrizione,
    s.dare             AS dare,
    s.avere            AS avere,
    COALESCE(altro.descrizione,
             CASE WHEN s.primoOpposto <> s.ultimoOpposto THEN 'Diversi' ELSE opposto.descrizione END)
                       AS contropartita,
    CASE WHEN m.tipo IN (3, 4) THEN s.avere - s.dare ELSE s.dare - s.avere END AS saldo,
    CASE WHEN m.tipo IN (2, 4) THEN s.avere - s.dare ELSE s.dare - s.avere END AS saldo2,
    m.tipo             AS mTipo,
    m.gruppo           AS mGruppo,
    m.prefisso         AS mPrefisso,
    m.descrizione      AS mDescrizione,
    c.prefisso         AS cPrefisso,
    c.descrizione      AS cDescrizione,
    c.bilancio         AS bilancio,
    so.descrizione     AS sDescrizione
FROM (SELECT l.*,
             CASE WHEN l.dare <> 0
                  THEN MIN(CASE WHEN l.avere <> 0 THEN l.conto END) OVER voce
                  ELSE MIN(CASE WHEN l.dare <> 0 THEN l.conto END) OVER voce END AS primoOpposto,
             CASE WHEN l.dare <> 0
                  THEN MAX(CASE WHEN l.avere <> 0 THEN l.conto END) OVER voce
                  ELSE MAX(CASE WHEN l.dare <> 0 THEN l.conto END) OVER voce END AS ultimoOpposto
        FROM (SELECT rd.id AS rdId, rd.idRegMain, rd.riga, rd.contodare AS conto,
                     rd.contoavere AS altroConto, rd.descrizione, rd.importo AS dare, 0 AS avere,
                     rm.data, rm.progressivo, rm.tipo, rm.versione
                FROM regmain rm JOIN regdet rd ON rd.idRegMain = rm.id
               WHERE rd.contodare IS NOT NULL
              UNION ALL
              SELECT rd.id, rd.idRegMain, rd.riga, rd.contoavere, rd.contodare,
                     rd.descrizione, 0, rd.importo, rm.data, rm.progressivo, rm.tipo, rm.versione
                FROM regmain rm JOIN regdet rd ON rd.idRegMain = rm.id
               WHERE rd.contoavere IS NOT NULL) l
      WINDOW voce AS (PARTITION BY l.data, l.idRegMain)) s
JOIN sottoconti so ON so.id = s.conto
JOIN conti c       ON c.id = so.idConto
JOIN mastri m      ON m.id = c.idMastro
LEFT JOIN sottoconti altro   ON altro.id = s.altroConto
LEFT JOIN sottoconti opposto ON opposto.id = s.primoOpposto)"_s;
    return view;
}
