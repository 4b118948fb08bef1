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

void DataGrid::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    if (auto *rows = qobject_cast<EditableGridModel *>(model)) {
        connect(rows, &EditableGridModel::editRefused, this, [this](const QModelIndex &index) {
            m_refused = true;
            m_heldIndex = index;
        });
    }
}

QWidget *DataGrid::openEditor() const
{
    return currentIndex().isValid() ? indexWidget(currentIndex()) : nullptr;
}

bool DataGrid::commitOpenEditor()
{
    QWidget *editor = openEditor();
    if (!editor)
        return true;
    commitData(editor);
    if (holdsEditor(editor))
        return false;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    setFocus();
    return true;
}

void DataGrid::cancelOpenEditor()
{
    if (QWidget *editor = openEditor())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void DataGrid::commitData(QWidget *editor)
{
    // A message shown while a value is checked takes the focus from the editor, which would
    // store the same value again.
    if (m_committing)
        return;
    m_committing = true;
    m_refused = false;
    QTableView::commitData(editor);
    m_committing = false;
    m_heldEditor = m_refused ? editor : nullptr;
}

void DataGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (m_committing)
        return;
    if (holdsEditor(editor) && hint != QAbstractItemDelegate::RevertModelCache) {
        // The refused value stays in its editor, where the user can correct it.
        returnTo(m_heldIndex);
        editor->setFocus();
        return;
    }
    m_heldEditor = nullptr;
    QTableView::closeEditor(editor, hint);
}

void DataGrid::returnTo(const QModelIndex &index)
{
    if (!index.isValid() || index == currentIndex())
        return;
    // The selection model may be in the middle of moving: go back once it has finished.
    const QPersistentModelIndex back = index;
    QMetaObject::invokeMethod(
        this,
        [this, back] {
            setCurrentIndex(back);
            if (m_heldEditor)
                m_heldEditor->setFocus();
        },
        Qt::QueuedConnection);
}

void DataGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The open editor stores its value into the row being left before that row is committed.
    QTableView::currentChanged(current, previous);
    if (m_heldEditor) {
        returnTo(m_heldIndex);
        return;
    }
    auto *rows = qobject_cast<EditableGridModel *>(model());
    const bool leavesPending = rows && previous.isValid() && current.row() != previous.row() &&
                               rows->pendingRow() == previous.row();
    if (leavesPending && !rows->commitPending())
        returnTo(previous);
}
