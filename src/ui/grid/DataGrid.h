#pragma once

#include "data/GridColumn.h"

#include <QTableView>

class GridDelegate;
class GridViewSupport;

// The flat grid of lists and row editors: a table view with the program's delegate, column
// table, row height and notifications. Any flat grid model goes in it; with an editable row set
// the grid commits the pending row when the cursor leaves it, and stays on it when the row
// check refuses.
class DataGrid : public QTableView {
    Q_OBJECT

public:
    explicit DataGrid(QWidget *parent = nullptr);

    void applyColumns(const QList<GridColumn> &columns);
    void setRowHeight(int pixels);
    GridViewSupport *support() const { return m_support; }
    GridDelegate *delegate() const { return m_delegate; }
    // The current row, -1 when none.
    int currentRow() const;
    // Makes a row current and shows it; false when out of range.
    bool setCurrentRow(int row);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    GridDelegate *m_delegate;
    GridViewSupport *m_support;
};
