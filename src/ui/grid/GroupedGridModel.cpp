#include "ui/grid/GroupedGridModel.h"

#include "ui/grid/GridLooks.h"

#include <QFont>

#include <algorithm>

GroupedGridModel::GroupedGridModel(QObject *parent) : QAbstractItemModel(parent) {}

void GroupedGridModel::setLayout(const QList<GridColumn> &columns, int levels, int captionColumn)
{
    beginResetModel();
    m_columns = columns;
    m_levels = std::max(levels, 0);
    m_captionColumn = captionColumn;
    build();
    endResetModel();
}

void GroupedGridModel::setSource(Source source)
{
    beginResetModel();
    m_source = std::move(source);
    build();
    endResetModel();
}

void GroupedGridModel::build()
{
    Grouping::Lines lines;
    lines.count = std::max(m_source.lines, 0);
    lines.levels = m_levels;
    lines.columns = int(m_columns.size());
    for (int c = 0; c < m_columns.size(); ++c) {
        if (!m_columns.at(c).sumPattern.isEmpty())
            lines.summed.append(c);
    }
    lines.key = m_source.groupKey;
    if (m_source.amount)
        lines.value = m_source.amount;
    else
        lines.value = [this](int line, int column) {
            return m_source.value(line, column).toLongLong();
        };
    m_grouping = Grouping(lines);

    m_captions.assign(m_grouping.groups().size(), QString());
    for (size_t g = 0; g < m_grouping.groups().size(); ++g) {
        const LineGroup &group = m_grouping.groups()[g];
        if (m_source.total) {
            for (int c : lines.summed)
                m_grouping.setTotal(int(g), c, m_source.total(group, c));
        }
        if (m_source.caption)
            m_captions[g] = m_source.caption(group);
    }
}

bool GroupedGridModel::holdsLines(int holder) const
{
    const int level = holder == Root ? -1 : m_grouping.group(holder).level;
    return level == m_levels - 1;
}

int GroupedGridModel::firstLine(int holder) const
{
    return holder == Root ? 0 : m_grouping.group(holder).first;
}

const std::vector<int> &GroupedGridModel::children(int holder) const
{
    return holder == Root ? m_grouping.outermost() : m_grouping.group(holder).children;
}

int GroupedGridModel::groupAt(int holder, int row) const
{
    return holdsLines(holder) ? Root : children(holder).at(size_t(row));
}

QModelIndex GroupedGridModel::indexIn(int holder, int row, int column) const
{
    return createIndex(row, column, quintptr(holder + 1));
}

const LineGroup *GroupedGridModel::group(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    const int g = groupAt(holderOf(index), index.row());
    return g == Root ? nullptr : &m_grouping.group(g);
}

int GroupedGridModel::line(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return -1;
    const int holder = holderOf(index);
    return holdsLines(holder) ? firstLine(holder) + index.row() : -1;
}

QModelIndex GroupedGridModel::indexOfLine(int line) const
{
    if (line < 0 || line >= m_source.lines)
        return {};
    const int holder = m_levels == 0 ? Root : m_grouping.innermostOf(line);
    return indexIn(holder, line - firstLine(holder), 0);
}

QModelIndex GroupedGridModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return indexIn(parent.isValid() ? groupAt(holderOf(parent), parent.row()) : Root, row, column);
}

QModelIndex GroupedGridModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    const int holder = holderOf(child);
    if (holder == Root)
        return {};
    const LineGroup &group = m_grouping.group(holder);
    return indexIn(group.parent, group.row, 0);
}

int GroupedGridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const int holder = parent.isValid() ? groupAt(holderOf(parent), parent.row()) : Root;
    if (parent.isValid() && holder == Root)
        return 0; // a line holds nothing
    if (holdsLines(holder))
        return holder == Root ? m_source.lines
                              : m_grouping.group(holder).last - m_grouping.group(holder).first;
    return int(children(holder).size());
}

int GroupedGridModel::columnCount(const QModelIndex &) const
{
    return int(m_columns.size());
}

QVariant GroupedGridModel::groupData(int group, int column, int role) const
{
    const GridColumn &c = m_columns.at(column);
    switch (role) {
    case GridRole::IsGroup:
        return true;
    case GridRole::Line:
        return -1;
    case Qt::FontRole: {
        QFont font;
        font.setBold(true);
        return font;
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column == m_captionColumn ? Qt::AlignLeft | Qt::AlignVCenter
                                                             : c.alignment);
    case Qt::DisplayRole:
        if (column == m_captionColumn)
            return m_captions[size_t(group)];
        if (!c.sumPattern.isEmpty())
            return m_formatter.format(Money::fromUnits(m_grouping.group(group).totals.at(column)),
                                      c.sumPattern);
        return {};
    default:
        return {};
    }
}

QVariant GroupedGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int holder = holderOf(index);
    if (!holdsLines(holder))
        return groupData(groupAt(holder, index.row()), index.column(), role);
    const int line = firstLine(holder) + index.row();
    if (role == GridRole::IsGroup)
        return false;
    if (role == GridRole::Line)
        return line;
    const QVariant value = m_source.value(line, index.column());
    const QString style = m_source.cellStyle ? m_source.cellStyle(line, index.column()) : QString();
    return presentationData(m_columns.at(index.column()), value, role, m_formatter, style);
}

QVariant GroupedGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return columnHeaderData(m_columns, section, orientation, role);
}
