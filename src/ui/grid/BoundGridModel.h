#pragma once

#include "data/GridColumn.h"
#include "data/RowSet.h"

#include <QAbstractTableModel>

#include <functional>

// A read-only grid over a result set: one grid column per entry of the column table, each bound
// to a field by name, and only the rows that the filter keeps. The result set is owned by the
// caller and must outlive the binding.
class BoundGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using RowStyle = std::function<QString(int resultRow)>;
    using CellIcon = std::function<int(int resultRow, int column)>; // index or -1

    explicit BoundGridModel(QObject *parent = nullptr);

    // Binds a result set with its column table and shows every row. A column whose field the
    // result set lacks shows nothing.
    void bind(const RowSet *rows, const QList<GridColumn> &columns);
    // Detaches the result set: the grid is empty until the next bind.
    void unbind();
    // Shows only these result rows (from RowSet::matching), in this order.
    void setFilter(const QList<int> &resultRows);

    void setRowStyle(RowStyle style) { m_rowStyle = std::move(style); }
    void setCellIcon(CellIcon icon) { m_cellIcon = std::move(icon); }

    const QList<GridColumn> &columns() const { return m_columns; }
    int column(const QString &field) const;
    int resultRow(int gridRow) const { return m_shown.value(gridRow, -1); }
    // The stored value of a field on a grid row; null when out of range.
    QVariant value(int gridRow, const QString &field) const;
    // The first grid row whose field equals the value, -1 when none.
    int find(const QString &field, const QVariant &value) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const RowSet *m_rows = nullptr;
    QList<GridColumn> m_columns;
    // Formats with the program's locale as it is when the model is made.
    PatternFormatter m_formatter;
    QList<int> m_fieldOf; // result-set field of each grid column, -1 when missing
    QList<int> m_shown;
    RowStyle m_rowStyle;
    CellIcon m_cellIcon;
};
