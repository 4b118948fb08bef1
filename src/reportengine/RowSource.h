#pragma once

#include "data/Database.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <vector>

// The kind of a report column: money (stored as ten-thousandths), whole numbers, dates (stored
// as ISO text) and text.
enum class ColumnKind { Text, Integer, Money, Date };

struct RowColumn {
    QString name;
    ColumnKind kind = ColumnKind::Text;
};

// The values of one row, by column.
class RowView {
public:
    RowView(const std::vector<RowColumn> *columns, const QVariantList *values)
        : m_columns(columns), m_values(values)
    {
    }
    // Null for a column the row does not have.
    QVariant value(const QString &column) const;
    QVariant value(int index) const { return m_values->value(index); }
    int indexOf(const QString &column) const;

private:
    const std::vector<RowColumn> *m_columns;
    const QVariantList *m_values;
};

// Gives a report its rows, in order, each read once.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual const std::vector<RowColumn> &columns() const = 0;
    // Reads the next row into *values; false at the end or on failure (see errorText).
    virtual bool next(QVariantList *values) = 0;
    // The engine's text of a failure; empty when the rows ended normally.
    virtual QString errorText() const { return {}; }
    // The number of rows when known in advance, else -1.
    virtual qint64 sizeHint() const { return -1; }
};

// Rows already computed in memory (account cards, balances, tests).
class MemoryRowSource : public RowSource {
public:
    MemoryRowSource(std::vector<RowColumn> columns, std::vector<QVariantList> rows);
    const std::vector<RowColumn> &columns() const override { return m_columns; }
    bool next(QVariantList *values) override;
    qint64 sizeHint() const override { return qint64(m_rows.size()); }

private:
    std::vector<RowColumn> m_columns;
    std::vector<QVariantList> m_rows;
    size_t m_next = 0;
};

// A query on an archive with bound values. Columns are taken by position in the statement and
// converted to their kind: money from integer ten-thousandths, dates from ISO text.
class SqlRowSource : public RowSource {
public:
    SqlRowSource(const QSqlDatabase &database, const QString &sql, const QVariantList &values,
                 std::vector<RowColumn> columns);
    const std::vector<RowColumn> &columns() const override { return m_columns; }
    bool next(QVariantList *values) override;
    QString errorText() const override { return m_error; }

private:
    QVariant converted(int index) const;

    std::vector<RowColumn> m_columns;
    QSqlDatabase m_database;
    QString m_sql;
    QVariantList m_bound;
    std::unique_ptr<RowCursor> m_cursor;
    QVariantList m_raw;
    QString m_error;
};

// The rows of another source, each with one more column, a whole number: 1 on the last row of a
// run of rows with the same key (an entry's lines), 0 on the others. Reads one row ahead, so
// that no statement asks of every row whether another follows it.
class RunEndRowSource : public RowSource {
public:
    RunEndRowSource(std::unique_ptr<RowSource> rows, const QString &key, const QString &runEnd);
    const std::vector<RowColumn> &columns() const override { return m_columns; }
    bool next(QVariantList *values) override;
    QString errorText() const override { return m_rows->errorText(); }
    qint64 sizeHint() const override { return m_rows->sizeHint(); }

private:
    std::unique_ptr<RowSource> m_rows;
    std::vector<RowColumn> m_columns;
    int m_key = -1;
    bool m_started = false;
    bool m_haveAhead = false;
    QVariantList m_ahead;
};
