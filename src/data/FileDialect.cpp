#include "data/EngineDialect.h"

using namespace Qt::StringLiterals;

namespace {

// A SQLite file: its write transaction holds the whole file, its ids follow the rows, its
// catalogue is sqlite_master with table_info.
class FileDialect final : public EngineDialect {
public:
    QString definition(const QString &statement) const override { return statement; }

    QStringList functionsFirst() const override { return {}; }

    QString accountCardsView(const QString &written) const override { return written; }

    QString dropTrigger(const QString &name) const override
    {
        return u"DROP TRIGGER IF EXISTS "_s + name;
    }

    QString calendarDate(const QString &column) const override
    {
        return u"date(%1, '+0 days') IS %1"_s.arg(column);
    }

    // SQLite plans a CROSS JOIN in the written order.
    QString joinInWrittenOrder() const override { return u"CROSS JOIN"_s; }

    QString storedName(const QString &name) const override { return name; }

    SqlStatement objectExists(const QString &type, const QString &name) const override
    {
        return {u"SELECT 1 FROM sqlite_master WHERE type = ? AND lower(name) = lower(?)"_s,
                {type, name}};
    }

    QString triggerNames() const override
    {
        return u"SELECT name FROM sqlite_master WHERE type = 'trigger'"_s;
    }

    SqlStatement tableColumns(const QString &table) const override
    {
        return {u"SELECT name FROM pragma_table_info(?)"_s, {table}};
    }

    SqlStatement columnType(const QString &table, const QString &column) const override
    {
        return {u"SELECT type FROM pragma_table_info(?) WHERE lower(name) = lower(?)"_s,
                {table, column}};
    }

    QString schemaObjects() const override
    {
        return u"SELECT type, name, sql, 0 FROM sqlite_master "
               u"WHERE type IN ('trigger', 'view', 'index') AND sql IS NOT NULL"_s;
    }

    QString tableCount() const override
    {
        return u"SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'"_s;
    }

    // The write lock at once: a transaction that reads first and then writes could find
    // another writer in between.
    QString beginWrite() const override { return u"BEGIN IMMEDIATE"_s; }

    QString beginSnapshot() const override { return u"BEGIN"_s; }

    QString firstRead() const override { return u"SELECT COUNT(*) FROM sqlite_master"_s; }

    std::optional<SqlStatement> archiveLock(bool) const override { return std::nullopt; }

    std::optional<SqlStatement> fiscalYearLock(int) const override { return std::nullopt; }

    std::optional<SqlStatement> bankStatementsLock(qint64) const override { return std::nullopt; }

    bool idsFollowRows() const override { return true; }

    SqlStatement highestIdGiven(const QString &table) const override
    {
        return {u"SELECT seq FROM sqlite_sequence WHERE name = ?"_s, {table}};
    }

    QList<SqlStatement> setHighestIdGiven(const QString &table, qint64 id) const override
    {
        return {{u"DELETE FROM sqlite_sequence WHERE name = ?"_s, {table}},
                {u"INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"_s, {table, id}}};
    }

    // The caller's write transaction holds the whole file: the ids after the highest one ever
    // given are free. The table is one of the program's own, never user text.
    SqlStatement reserveIds(const QString &table, int count) const override
    {
        return {u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                u"SELECT MAX(COALESCE((SELECT seq FROM sqlite_sequence WHERE name = ?), 0), "
                u"COALESCE((SELECT MAX(id) FROM %1), 0)) + i FROM n ORDER BY i"_s.arg(table),
                {count, table}};
    }

    QString tablesWithIds() const override { return u"SELECT name FROM sqlite_sequence"_s; }

    // A long statement touches many pages of a large archive's indexes: kept in memory until
    // the commit rather than spilled to the file half-way (twice as fast at 500,000 entries).
    QStringList beforeManyRows() const override { return {u"PRAGMA cache_size = -131072"_s}; }

    QStringList afterTablesCopied(const QStringList &) const override { return {}; }
};

} // namespace

const EngineDialect &fileDialect()
{
    static const FileDialect dialect;
    return dialect;
}
