#include "ui/grid/DataGrid.h"

#include "ui/grid/EditableGridModel.h"
#include "ui/grid/GridDelegate.h"
#include "ui/grid/GridViewSupport.h"

#include <QHeaderView>

DataGrid::DataGrid(QWidget *parent)
    : QTableView(parent), m_delegate(new GridDelegate(this)),
      m_support(new GridViewSupport(this, horizontalHeader()))
{
    setItemDelegate(m_delegate);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void DataGrid::applyColumns(const QList<GridColumn> &columns)
{
    m_support->applyColumns(columns);
}

void DataGrid::setRowHeight(int pixels)
{
    m_delegate->setRowHeight(pixels);
    verticalHeader()->setMinimumSectionSize(pixels);
    verticalHeader()->setDefaultSectionSize(pixels);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_support->setRowHeight(pixels);
}

int DataGrid::currentRow() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

bool DataGrid::setCurrentRow(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return false;
    int column = 0;
    while (column < model()->columnCount() && isColumnHidden(column))
        ++column;
    const QModelIndex index = model()->index(row, column);
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}

void DataGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    auto *rows = qobject_cast<EditableGridModel *>(model());
    const bool leavesPending = rows && previous.isValid() && current.row() != previous.row() &&
                               rows->pendingRow() == previous.row();
    if (leavesPending && !rows->commitPending()) {
        // The selection model is in the middle of moving: go back once it has finished.
        const QPersistentModelIndex back = previous;
        QMetaObject::invokeMethod(
            this, [this, back] { setCurrentIndex(back); }, Qt::QueuedConnection);
    }
    QTableView::currentChanged(current, previous);
}
