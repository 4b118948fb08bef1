#include "ui/grid/BoundGridModel.h"

#include "ui/grid/GridLooks.h"

BoundGridModel::BoundGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void BoundGridModel::bind(const RowSet *rows, const QList<GridColumn> &columns)
{
    beginResetModel();
    m_rows = rows;
    m_columns = columns;
    m_fieldOf.clear();
    for (const GridColumn &c : m_columns)
        m_fieldOf.append(rows ? rows->field(c.field) : -1);
    m_shown = rows ? rows->matching({}, {}) : QList<int>();
    endResetModel();
}

void BoundGridModel::unbind()
{
    bind(nullptr, m_columns);
}

void BoundGridModel::setFilter(const QList<int> &resultRows)
{
    beginResetModel();
    m_shown = m_rows ? resultRows : QList<int>();
    endResetModel();
}

int BoundGridModel::column(const QString &field) const
{
    for (int c = 0; c < m_columns.size(); ++c) {
        if (m_columns.at(c).field.compare(field, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

QVariant BoundGridModel::value(int gridRow, const QString &field) const
{
    const int c = column(field);
    if (c < 0 || gridRow < 0 || gridRow >= m_shown.size() || m_fieldOf.at(c) < 0)
        return {};
    return m_rows->value(m_shown.at(gridRow), m_fieldOf.at(c));
}

int BoundGridModel::find(const QString &field, const QVariant &value) const
{
    for (int r = 0; r < m_shown.size(); ++r) {
        if (this->value(r, field) == value)
            return r;
    }
    return -1;
}

int BoundGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int BoundGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant BoundGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int row = m_shown.at(index.row());
    const int field = m_fieldOf.at(index.column());
    const GridColumn &column = m_columns.at(index.column());
    if (role == GridRole::Line)
        return row;
    if (role == Qt::DecorationRole) {
        if (!column.iconColumn || !m_cellIcon)
            return {};
        const QIcon icon = gridIcon(m_cellIcon(row, index.column()));
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    const QVariant value = field < 0 ? QVariant() : m_rows->value(row, field);
    return presentationData(column, value, role, m_formatter, {},
                            m_rowStyle ? m_rowStyle(row) : QString());
}

QVariant BoundGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return columnHeaderData(m_columns, section, orientation, role);
}
