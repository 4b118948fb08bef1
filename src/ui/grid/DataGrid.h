#pragma once

#include "data/GridColumn.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

class GridDelegate;
class GridViewSupport;

// The flat grid of lists and row editors: a table view with the program's delegate, column
// table, row height and notifications. Any flat grid model goes in it; with an editable row set
// the grid commits the pending row when the cursor leaves it, and stays on it when the row
// check refuses. A cell editor whose value the row set refuses stays open with the user's text.
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
    void setModel(QAbstractItemModel *model) override;

    // The editor open on the current cell, if any.
    QWidget *openEditor() const;
    // Stores the open editor's value and closes it; false, with the editor left open, when the
    // value is refused.
    bool commitOpenEditor();
    // Closes the open editor without storing its value.
    void cancelOpenEditor();
    // Whether the editor's last value was refused, so that it stays open.
    bool holdsEditor(const QWidget *editor) const { return editor && editor == m_heldEditor; }

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void commitData(QWidget *editor) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void returnTo(const QModelIndex &index);

    GridDelegate *m_delegate;
    GridViewSupport *m_support;
    QPointer<QWidget> m_heldEditor;
    QPersistentModelIndex m_heldIndex;
    bool m_committing = false;
    bool m_refused = false;
};
