#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

class Connection;

// A read-only result set held in memory: the field names of a statement and every row it
// returned, with a filter that picks the rows shown. Texts that repeat (sub-account names,
// row descriptions) share one copy, which keeps a year of entry rows small.
class RowSet {
public:
    // Runs the statement with bound values on the connection and reads every row. Returns false
    // with the engine's text in *error; the row set is then empty.
    bool load(const Connection &connection, const QString &sql, const QVariantList &values = {},
              QString *error = nullptr);

    // Builds a row set from values in memory (tests, generated tables).
    void reset(const QStringList &fields, std::vector<QVariant> values);

    const QStringList &fields() const { return m_fields; }
    // Index of a field by name, ignoring case; -1 when missing.
    int field(const QString &name) const;
    int rowCount() const { return m_rows; }
    const QVariant &value(int row, int column) const
    {
        const std::vector<QVariant> &block = m_blocks[size_t(row) >> BlockShift];
        return block[(size_t(row) & (BlockRows - 1)) * size_t(m_fields.size()) + size_t(column)];
    }

    // The rows, in result order, where one of the columns contains the text, ignoring case and
    // accents; the text is plain (no wildcard). An empty text keeps every row.
    QList<int> matching(const QList<int> &columns, const QString &text) const;

private:
    // Rows are kept in blocks, so that a growing result set never moves the rows read before.
    static constexpr int BlockShift = 12;
    static constexpr size_t BlockRows = size_t(1) << BlockShift;
    void append(QVariant cell);
    // Room for one more row at the end, its cells empty.
    QVariant *appendRow();

    QStringList m_fields;
    std::vector<std::vector<QVariant>> m_blocks;
    int m_rows = 0;
};

// The text a search box filters with: the typed text without surrounding blanks, or nothing
// (no filter) when that has fewer than two characters.
QString effectiveSearch(const QString &typed);
