#include "ui/grid/UnboundGridModel.h"

#include "ui/grid/GridLooks.h"

UnboundGridModel::UnboundGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void UnboundGridModel::setColumns(const QList<GridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

void UnboundGridModel::setLineCount(int lines)
{
    beginResetModel();
    m_lines = lines;
    endResetModel();
}

int UnboundGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_lines;
}

int UnboundGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant UnboundGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == GridRole::Line)
        return index.row();
    const QVariant value = m_lineValue ? m_lineValue(index.row(), index.column()) : QVariant();
    return presentationData(m_columns.at(index.column()), value, role, m_formatter, {},
                            m_rowStyle ? m_rowStyle(index.row()) : QString());
}

QVariant UnboundGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return columnHeaderData(m_columns, section, orientation, role);
}
