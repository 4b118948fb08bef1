#pragma once

#include "data/GridColumn.h"

#include <QAbstractTableModel>

#include <functional>
#include <vector>

// An editable row set in memory, for row editors: the rows the caller loaded, a new-row line
// below them, and one pending row at a time. A cell check may change or refuse a value before
// it is stored; a row check may refuse to commit the pending row. The first value stored on the
// new-row line turns it into a row, with a new-row line below. The caller reads the rows and
// writes them back itself, in one transaction.
class EditableGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Returns false to refuse the value; may adjust it before it is stored.
    using CellCheck = std::function<bool(int row, int column, QVariant &value)>;
    // Returns false to keep the row pending (the grid stays on it).
    using RowCheck = std::function<bool(int row)>;

    explicit EditableGridModel(QObject *parent = nullptr);

    void setColumns(const QList<GridColumn> &columns);
    const QList<GridColumn> &columns() const { return m_columns; }
    const PatternFormatter &formatter() const { return m_formatter; }
    // Replaces every row; nothing is pending afterwards.
    void setRows(std::vector<QVariantList> rows);
    const std::vector<QVariantList> &rows() const { return m_rows; }
    QVariant value(int row, int column) const;

    void setReadOnly(bool readOnly);
    // Whether the new-row line is drawn below the last row.
    void setAllowNew(bool allowNew);
    // The value a column takes on the next new row.
    void setDefaultValue(int column, const QVariant &value);
    void setCellCheck(CellCheck check) { m_cellCheck = std::move(check); }
    void setRowCheck(RowCheck check) { m_rowCheck = std::move(check); }

    bool isNewRowLine(int row) const
    {
        return m_allowNew && !m_readOnly && row == int(m_rows.size());
    }
    // The row being edited and not yet committed, -1 when none.
    int pendingRow() const { return m_pending; }
    // Runs the row check on the pending row; true when nothing is pending or the row committed.
    bool commitPending();
    // Gives up the pending row: a new one disappears, an old one gets its values back.
    void cancelPending();
    // Removes a committed row; false for the new-row line or a row out of range.
    bool removeRow(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void rowCommitted(int row);
    // A value was not stored: its cell check refused it, or another row is pending.
    void editRefused(const QModelIndex &index);

private:
    QVariantList defaults() const;

    QList<GridColumn> m_columns;
    // Formats with the program's locale as it is when the model is made.
    PatternFormatter m_formatter;
    std::vector<QVariantList> m_rows;
    bool m_readOnly = false;
    bool m_allowNew = true;
    int m_pending = -1;
    bool m_pendingIsNew = false;
    QVariantList m_pendingOriginal;
    CellCheck m_cellCheck;
    RowCheck m_rowCheck;
};
