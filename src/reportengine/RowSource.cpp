#include "reportengine/RowSource.h"

#include "data/Database.h"
#include "data/Money.h"
#include "data/SqlText.h"

QVariant RowView::value(const QString &column) const
{
    const int index = indexOf(column);
    return index < 0 ? QVariant() : m_values->value(index);
}

int RowView::indexOf(const QString &column) const
{
    for (size_t i = 0; i < m_columns->size(); ++i)
        if ((*m_columns)[i].name.compare(column, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

MemoryRowSource::MemoryRowSource(std::vector<RowColumn> columns, std::vector<QVariantList> rows)
    : m_columns(std::move(columns)), m_rows(std::move(rows))
{
}

bool MemoryRowSource::next(QVariantList *values)
{
    if (m_next >= m_rows.size())
        return false;
    *values = m_rows[m_next++];
    return true;
}

SqlRowSource::SqlRowSource(const QSqlDatabase &database, const QString &sql,
                           const QVariantList &values, std::vector<RowColumn> columns)
    : m_columns(std::move(columns)), m_database(database), m_sql(sql), m_bound(values)
{
}

bool SqlRowSource::next(QVariantList *values)
{
    // The statement runs when the first row is asked for.
    if (!m_cursor)
        m_cursor = std::make_unique<RowCursor>(m_database, m_sql, m_bound);
    if (!m_cursor->next(&m_raw)) {
        m_error = m_cursor->errorText();
        return false;
    }
    values->resize(qsizetype(m_columns.size()));
    for (size_t i = 0; i < m_columns.size(); ++i)
        (*values)[qsizetype(i)] = converted(int(i));
    return true;
}

QVariant SqlRowSource::converted(int index) const
{
    const QVariant raw = m_raw.value(index);
    if (raw.isNull())
        return m_columns[size_t(index)].kind == ColumnKind::Text ? QVariant(QString()) : QVariant();
    switch (m_columns[size_t(index)].kind) {
    case ColumnKind::Money:
        return QVariant::fromValue(Money::fromUnits(raw.toLongLong()));
    case ColumnKind::Integer:
        return raw.toLongLong();
    case ColumnKind::Date:
        return dateFromIso(raw.toString());
    case ColumnKind::Text:
        break;
    }
    return raw.toString();
}

RunEndRowSource::RunEndRowSource(std::unique_ptr<RowSource> rows, const QString &key,
                                 const QString &runEnd)
    : m_rows(std::move(rows)), m_columns(m_rows->columns())
{
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(key, Qt::CaseInsensitive) == 0)
            m_key = int(i);
    m_columns.push_back({runEnd, ColumnKind::Integer});
}

bool RunEndRowSource::next(QVariantList *values)
{
    if (!m_started) {
        m_started = true;
        m_haveAhead = m_rows->next(&m_ahead);
    }
    if (!m_haveAhead)
        return false;
    std::swap(*values, m_ahead);
    m_haveAhead = m_rows->next(&m_ahead);
    const bool runEnds = !m_haveAhead || m_ahead.value(m_key) != values->value(m_key);
    values->append(runEnds ? 1 : 0);
    return true;
}
