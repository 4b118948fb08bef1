#include "ui/grid/ReviewGridKeys.h"

#include "ui/grid/DataGrid.h"
#include "ui/grid/GridDelegate.h"
#include "ui/grid/ValueListCompleter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

bool isEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

// Editors of the text and sub-account cells. Enter stores the value and moves down; F4 in the
// sub-account opens the finder with the text typed.
class ReviewDelegate : public GridDelegate {
public:
    explicit ReviewDelegate(ReviewGridKeys *keys) : GridDelegate(keys), m_keys(keys) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &index) const override
    {
        auto *editor = new QLineEdit(parent);
        if (index.column() == m_keys->subAccountColumn())
            new ValueListCompleter(editor, m_keys->choices()());
        editor->installEventFilter(const_cast<ReviewDelegate *>(this));
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        static_cast<QLineEdit *>(editor)->setText(index.data(Qt::DisplayRole).toString());
        if (auto *completer = editor->findChild<ValueListCompleter *>())
            completer->setChosen(index.data(Qt::EditRole));
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        if (auto *completer = editor->findChild<ValueListCompleter *>())
            model->setData(index, completer->resolve());
        else
            model->setData(index, static_cast<QLineEdit *>(editor)->text());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *editor = qobject_cast<QLineEdit *>(watched);
        if (!editor || event->type() != QEvent::KeyPress)
            return GridDelegate::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        if (isEnter(key)) {
            emit commitData(editor);
            emit closeEditor(editor, NoHint);
            m_keys->moveDown();
            return true;
        }
        if (key->key() == Qt::Key_F4 && editor->findChild<ValueListCompleter *>()) {
            const QString text = editor->text();
            emit closeEditor(editor, RevertModelCache);
            m_keys->find()(text);
            return true;
        }
        return GridDelegate::eventFilter(watched, event);
    }

private:
    ReviewGridKeys *m_keys;
};

} // namespace

ReviewGridKeys::ReviewGridKeys(DataGrid *grid, Columns columns, Choices choices, Finder find)
    : QObject(grid), m_grid(grid), m_columns(std::move(columns)), m_choices(std::move(choices)),
      m_find(std::move(find))
{
    auto *delegate = new ReviewDelegate(this);
    m_grid->setItemDelegateForColumn(m_columns.subAccount, delegate);
    for (const int column : std::as_const(m_columns.texts))
        m_grid->setItemDelegateForColumn(column, delegate);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_grid->installEventFilter(this);
}

void ReviewGridKeys::moveDown()
{
    const QModelIndex current = m_grid->currentIndex();
    if (current.row() + 1 < m_grid->model()->rowCount())
        m_grid->setCurrentIndex(m_grid->model()->index(current.row() + 1, current.column()));
}

bool ReviewGridKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_grid || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    QAbstractItemModel *model = m_grid->model();
    const int row = m_grid->currentIndex().row();
    if (key->key() == Qt::Key_Space && row >= 0) {
        const QModelIndex tick = model->index(row, m_columns.tick);
        if (model->flags(tick).testFlag(Qt::ItemIsUserCheckable))
            model->setData(tick,
                           tick.data(Qt::CheckStateRole).toInt() == Qt::Checked ? Qt::Unchecked
                                                                                : Qt::Checked,
                           Qt::CheckStateRole);
        return true;
    }
    if (isEnter(key)) {
        moveDown();
        return true;
    }
    if (key->key() == Qt::Key_F4) {
        m_find({});
        return true;
    }
    // A printable key opens the cell's editor, with the key as the first character typed.
    const QModelIndex current = m_grid->currentIndex();
    if (!key->text().isEmpty() && key->text().at(0).isPrint() &&
        model->flags(current).testFlag(Qt::ItemIsEditable)) {
        m_grid->edit(current);
        if (QWidget *editor = m_grid->openEditor()) {
            static_cast<QLineEdit *>(editor)->clear();
            QCoreApplication::sendEvent(editor, event);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
