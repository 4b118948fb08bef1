#include "ui/grid/GridDelegate.h"

#include "ui/grid/GridLooks.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

GridDelegate::GridDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

QRect GridDelegate::buttonRect(const QRect &cell)
{
    const int side = cell.height();
    return QRect(cell.right() - side + 1, cell.top(), side, side);
}

void GridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool captionCell =
        index.column() == m_captionColumn && index.data(GridRole::IsGroup).toBool();
    if (captionCell)
        opt.text.clear();
    if (!opt.icon.isNull()) {
        // Icon columns show the icon alone, centred.
        opt.features &= ~QStyleOptionViewItem::HasDisplay;
        opt.decorationAlignment = Qt::AlignCenter;
        opt.decorationSize = QSize(opt.rect.height() - 6, opt.rect.height() - 6);
        opt.text.clear();
    }
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    if (index.data(GridRole::HasButton).toBool()) {
        QStyleOptionButton button;
        button.rect = buttonRect(option.rect);
        button.text = u"…"_s;
        button.state = QStyle::State_Enabled | QStyle::State_Raised;
        style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
    }
}

QSize GridDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (m_rowHeight > 0)
        size.setHeight(m_rowHeight);
    return size;
}

bool GridDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                               const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() == QEvent::MouseButtonRelease && index.data(GridRole::HasButton).toBool()) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton &&
            buttonRect(option.rect).contains(mouse->position().toPoint())) {
            emit buttonClicked(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
