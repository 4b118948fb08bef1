#include "ui/grid/EditableGridModel.h"

#include "ui/grid/GridLooks.h"

EditableGridModel::EditableGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void EditableGridModel::setColumns(const QList<GridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    for (QVariantList &row : m_rows)
        row.resize(m_columns.size());
    endResetModel();
}

void EditableGridModel::setRows(std::vector<QVariantList> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    for (QVariantList &row : m_rows)
        row.resize(m_columns.size());
    m_pending = -1;
    endResetModel();
}

QVariant EditableGridModel::value(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()) || column < 0 || column >= m_columns.size())
        return {};
    return m_rows[size_t(row)].at(column);
}

void EditableGridModel::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setAllowNew(m_allowNew);
}

void EditableGridModel::setAllowNew(bool allowNew)
{
    beginResetModel();
    m_allowNew = allowNew;
    endResetModel();
}

void EditableGridModel::setDefaultValue(int column, const QVariant &value)
{
    if (column >= 0 && column < m_columns.size())
        m_columns[column].defaultValue = value;
}

QVariantList EditableGridModel::defaults() const
{
    QVariantList row;
    for (const GridColumn &c : m_columns)
        row.append(c.defaultValue);
    return row;
}

bool EditableGridModel::commitPending()
{
    if (m_pending < 0)
        return true;
    if (m_rowCheck && !m_rowCheck(m_pending))
        return false;
    const int committed = m_pending;
    m_pending = -1;
    emit rowCommitted(committed);
    return true;
}

void EditableGridModel::cancelPending()
{
    if (m_pending < 0)
        return;
    const int row = m_pending;
    m_pending = -1;
    if (m_pendingIsNew) {
        // The row becomes the new-row line again and the line below it goes, so that a cursor
        // on the row stays where it is.
        m_rows[size_t(row)] = QVariantList(m_columns.size());
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        beginRemoveRows({}, row + 1, row + 1);
        m_rows.erase(m_rows.begin() + row);
        endRemoveRows();
        return;
    }
    m_rows[size_t(row)] = m_pendingOriginal;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

bool EditableGridModel::removeRow(int row)
{
    if (row < 0 || row >= int(m_rows.size()))
        return false;
    if (row == m_pending)
        m_pending = -1;
    else if (m_pending > row)
        --m_pending;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    return true;
}

int EditableGridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return int(m_rows.size()) + (m_allowNew && !m_readOnly ? 1 : 0);
}

int EditableGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant EditableGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == GridRole::Line)
        return index.row() < int(m_rows.size()) ? index.row() : -1;
    const QVariant stored = value(index.row(), index.column());
    if (role == Qt::EditRole)
        return stored;
    return presentationData(m_columns.at(index.column()), stored, role, m_formatter);
}

bool EditableGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int row = index.row();
    // Only one row is pending at a time: the grid commits the previous one when it leaves it.
    if (m_pending >= 0 && m_pending != row) {
        emit editRefused(index);
        return false;
    }
    // Nothing typed on the new-row line makes no row.
    if (isNewRowLine(row) && value.isNull())
        return true;
    QVariant accepted = value;
    if (m_cellCheck && !m_cellCheck(row, index.column(), accepted)) {
        emit editRefused(index);
        return false;
    }
    if (isNewRowLine(row)) {
        // The new-row line becomes the row and a new one opens below it, so that a cursor on
        // the line stays on the row just created.
        beginInsertRows({}, row + 1, row + 1);
        m_rows.push_back(QVariantList(m_columns.size()));
        endInsertRows();
        m_rows.back() = defaults();
        m_pending = row;
        m_pendingIsNew = true;
        emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
    } else if (m_pending < 0) {
        m_pending = row;
        m_pendingIsNew = false;
        m_pendingOriginal = m_rows[size_t(row)];
    }
    m_rows[size_t(row)][index.column()] = accepted;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags EditableGridModel::flags(const QModelIndex &index) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_readOnly && m_columns.at(index.column()).editable)
        result |= Qt::ItemIsEditable;
    return result;
}

QVariant EditableGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return columnHeaderData(m_columns, section, orientation, role);
}
