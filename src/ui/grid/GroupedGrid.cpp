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
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &GroupedGrid::rememberPlace);
    connect(model, &QAbstractItemModel::modelReset, this, &GroupedGrid::restorePlace);
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

void GroupedGrid::rememberPlace()
{
    // An empty model is a step of a reload: the place from before it is kept for the rows that
    // follow.
    if (m_model->rowCount() == 0)
        return;
    m_place = Place{};
    m_place.kept = true;
    rememberExpanded({});
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const bool onLine = m_model->line(current) >= 0;
    m_place.current = keyPath(onLine ? current.parent() : current);
    m_place.line = onLine ? current.row() : -1;
    m_place.column = current.column();
}

void GroupedGrid::rememberExpanded(const QModelIndex &parent)
{
    for (int row = 0; row < m_model->rowCount(parent); ++row) {
        const QModelIndex child = m_model->index(row, 0, parent);
        if (!m_model->group(child) || !isExpanded(child))
            continue;
        m_place.expanded.append(keyPath(child));
        rememberExpanded(child);
    }
}

void GroupedGrid::restorePlace()
{
    if (!m_place.kept || m_model->rowCount() == 0)
        return;
    setUpdatesEnabled(false);
    for (const QVariantList &path : std::as_const(m_place.expanded)) {
        if (const QModelIndex group = groupAt(path); group.isValid())
            expand(group);
    }
    QModelIndex current = groupAt(m_place.current);
    if (current.isValid() && m_place.line >= 0 && m_model->rowCount(current) > 0)
        current = m_model->index(std::min(m_place.line, m_model->rowCount(current) - 1),
                                 m_place.column, current);
    else if (current.isValid())
        current = current.siblingAtColumn(m_place.column);
    if (current.isValid()) {
        setCurrentIndex(current);
        scrollTo(current);
    }
    setUpdatesEnabled(true);
    m_place = Place{};
}

QVariantList GroupedGrid::keyPath(QModelIndex group) const
{
    QVariantList path;
    for (; group.isValid(); group = group.parent()) {
        if (const LineGroup *g = m_model->group(group))
            path.prepend(g->key);
    }
    return path;
}

QModelIndex GroupedGrid::groupAt(const QVariantList &path) const
{
    QModelIndex found;
    for (const QVariant &key : path) {
        const QModelIndex parent = found;
        found = {};
        for (int row = 0; row < m_model->rowCount(parent) && !found.isValid(); ++row) {
            const QModelIndex child = m_model->index(row, 0, parent);
            if (const LineGroup *g = m_model->group(child); g && g->key == key)
                found = child;
        }
        if (!found.isValid())
            return {};
    }
    return found;
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
