#include "ui/grid/GroupedGridModel.h"

#include "data/PatternFormatter.h"
#include "ui/grid/GridLooks.h"

#include <QFont>

struct GroupedGridModel::Node {
    GridGroup group;
    const Node *parent = nullptr;
    int row = 0; // position among the parent's children
    std::vector<const Node *> children;
    QString caption;
};

bool GroupedGridModel::holdsLines(const Node *node) const
{
    return node->group.level == m_levels - 1;
}

GroupedGridModel::GroupedGridModel(QObject *parent)
    : QAbstractItemModel(parent), m_root(std::make_unique<Node>())
{
    m_root->group.level = -1;
}

GroupedGridModel::~GroupedGridModel() = default;

void GroupedGridModel::setLayout(const QList<GridColumn> &columns, int levels, int captionColumn)
{
    beginResetModel();
    m_columns = columns;
    m_levels = std::clamp(levels, 0, 3);
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
    m_nodes.clear();
    m_leafParent.assign(size_t(std::max(m_source.lines, 0)), m_root.get());
    *m_root = Node();
    m_root->group.level = -1;
    m_root->group.last = m_source.lines;
    QList<int> summed;
    for (int c = 0; c < m_columns.size(); ++c) {
        if (!m_columns.at(c).sumPattern.isEmpty())
            summed.append(c);
    }

    // One pass: a line opens a new group at the first level whose key differs from the
    // previous line's, and every deeper level with it.
    Node *open[3] = {};
    for (int line = 0; line < m_source.lines; ++line) {
        int changed = m_levels;
        for (int level = 0; level < m_levels; ++level) {
            if (!open[level] || m_source.groupKey(level, line) != open[level]->group.key) {
                changed = level;
                break;
            }
        }
        for (int level = changed; level < m_levels; ++level) {
            auto node = std::make_unique<Node>();
            Node *parent = level == 0 ? m_root.get() : open[level - 1];
            node->group.level = level;
            node->group.key = m_source.groupKey(level, line);
            node->group.first = line;
            node->group.totals.resize(m_columns.size());
            node->parent = parent;
            node->row = int(parent->children.size());
            parent->children.push_back(node.get());
            open[level] = node.get();
            m_nodes.push_back(std::move(node));
        }
        for (int level = 0; level < m_levels; ++level)
            open[level]->group.last = line + 1;
        if (m_levels > 0) {
            m_leafParent[size_t(line)] = open[m_levels - 1];
            for (int c : summed) {
                const qint64 v = m_source.value(line, c).toLongLong();
                for (int level = 0; level < m_levels; ++level)
                    open[level]->group.totals[c] += v;
            }
        }
    }
    for (const auto &node : m_nodes) {
        if (m_source.total) {
            for (int c : summed)
                node->group.totals[c] = m_source.total(node->group, c);
        }
        if (m_source.caption)
            node->caption = m_source.caption(node->group);
    }
}

const GroupedGridModel::Node *GroupedGridModel::nodeOf(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_root.get();
    const auto *holder = static_cast<const Node *>(parent.internalPointer());
    if (holdsLines(holder))
        return nullptr;
    return holder->children.at(size_t(parent.row()));
}

const GridGroup *GroupedGridModel::group(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    const auto *holder = static_cast<const Node *>(index.internalPointer());
    if (holdsLines(holder))
        return nullptr;
    return &holder->children.at(size_t(index.row()))->group;
}

int GroupedGridModel::line(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return -1;
    const auto *holder = static_cast<const Node *>(index.internalPointer());
    return holdsLines(holder) ? holder->group.first + index.row() : -1;
}

QModelIndex GroupedGridModel::indexOfLine(int line) const
{
    if (line < 0 || line >= m_source.lines)
        return {};
    const Node *holder = m_leafParent[size_t(line)];
    return createIndex(line - holder->group.first, 0, holder);
}

QModelIndex GroupedGridModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, nodeOf(parent));
}

QModelIndex GroupedGridModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    const auto *holder = static_cast<const Node *>(child.internalPointer());
    if (holder == m_root.get())
        return {};
    return createIndex(holder->row, 0, holder->parent);
}

int GroupedGridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const Node *node = nodeOf(parent);
    if (!node)
        return 0;
    if (holdsLines(node))
        return node->group.last - node->group.first;
    return int(node->children.size());
}

int GroupedGridModel::columnCount(const QModelIndex &) const
{
    return int(m_columns.size());
}

QVariant GroupedGridModel::groupData(const Node *node, int column, int role) const
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
            return node->caption;
        if (!c.sumPattern.isEmpty()) {
            static const PatternFormatter formatter;
            return formatter.format(Money::fromUnits(node->group.totals.at(column)), c.sumPattern);
        }
        return {};
    default:
        return {};
    }
}

QVariant GroupedGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const auto *holder = static_cast<const Node *>(index.internalPointer());
    if (!holdsLines(holder))
        return groupData(holder->children.at(size_t(index.row())), index.column(), role);
    const int line = holder->group.first + index.row();
    if (role == GridRole::IsGroup)
        return false;
    if (role == GridRole::Line)
        return line;
    const QVariant value = m_source.value(line, index.column());
    const QString style = m_source.cellStyle ? m_source.cellStyle(line, index.column()) : QString();
    return presentationData(m_columns.at(index.column()), value, role, style);
}

QVariant GroupedGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns.at(section).caption;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns.at(section).alignment);
    return {};
}
