#include "ui/grid/GroupedGrid.h"

#include "ui/grid/GridDelegate.h"
#include "ui/grid/GridLooks.h"
#include "ui/grid/GridViewSupport.h"
#include "ui/grid/GroupedGridModel.h"

#include <QHeaderView>
#include <QPainter>

GroupedGrid::GroupedGrid(QWidget *parent)
    : QTreeView(parent), m_delegate(new GridDelegate(this)),
      m_support(new GridViewSupport(this, header()))
{
    setItemDelegate(m_delegate);
    setUniformRowHeights(true);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setExpandsOnDoubleClick(true);
    setAllColumnsShowFocus(true);
    setIndentation(14);
    header()->setStretchLastSection(false);
    header()->setHighlightSections(false);
    header()->setSectionsMovable(false);
}

void GroupedGrid::setGroupedModel(GroupedGridModel *model)
{
    m_model = model;
    setModel(model);
    setTreePosition(model->captionColumn());
    m_delegate->setCaptionColumn(model->captionColumn());
    m_support->applyColumns(model->columns());
    // The caption column also holds the indentation of every level and of the lines.
    const int tree = model->captionColumn();
    header()->resizeSection(tree,
                            header()->sectionSize(tree) + (model->levels() + 1) * indentation());
}

void GroupedGrid::setRowHeight(int pixels)
{
    m_delegate->setRowHeight(pixels);
    m_support->setRowHeight(pixels);
}

void GroupedGrid::expandEverything()
{
    setUpdatesEnabled(false);
    expandAll();
    setUpdatesEnabled(true);
}

void GroupedGrid::collapseToFirstLevel()
{
    setUpdatesEnabled(false);
    expandToDepth(0);
    setUpdatesEnabled(true);
}

int GroupedGrid::captionRight(int captionLeft) const
{
    // The caption runs until the first column on its right that shows a group total.
    int right = viewport()->width();
    for (int c = 0; c < m_model->columns().size(); ++c) {
        if (isColumnHidden(c) || m_model->columns().at(c).sumPattern.isEmpty())
            continue;
        const int left = columnViewportPosition(c);
        if (left > captionLeft)
            right = std::min(right, left);
    }
    return right;
}

void GroupedGrid::drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const
{
    QTreeView::drawRow(painter, option, index);
    if (!m_model || !index.data(GridRole::IsGroup).toBool())
        return;
    int depth = 1;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        ++depth;
    const int left = columnViewportPosition(m_model->captionColumn()) + depth * indentation();
    const QRect area(left + 2, option.rect.top(), captionRight(left) - left - 6,
                     option.rect.height());
    const QModelIndex caption = index.siblingAtColumn(m_model->captionColumn());
    painter->save();
    QFont font = option.font;
    font.setBold(true);
    painter->setFont(font);
    const bool selected =
        selectionModel() && selectionModel()->isRowSelected(index.row(), index.parent());
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QString text =
        QFontMetrics(font).elidedText(caption.data().toString(), Qt::ElideRight, area.width());
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->restore();
}
