#pragma once

#include "data/GridColumn.h"

#include <QAbstractItemModel>

#include <functional>
#include <memory>
#include <vector>

// One group row of a grouped grid: its level (0 the outermost), its key and the lines it holds.
struct GridGroup {
    int level = 0;
    QVariant key;
    int first = 0;        // first line
    int last = 0;         // one past the last line
    QList<qint64> totals; // per column; the sum of its lines for columns with a sumPattern
};

// A read-only grid whose lines the program supplies one by one, gathered under up to three
// levels of group rows. Lines must come in group order: a group is a run of consecutive lines
// with the same key at its level and at every outer level. Group rows show a caption supplied
// by the program and, under the columns with a sumPattern, the group's total.
class GroupedGridModel : public QAbstractItemModel {
    Q_OBJECT

public:
    struct Source {
        int lines = 0;
        std::function<QVariant(int line, int column)> value;
        // Identity of the line's group at a level; groups are told apart by it, not by caption.
        std::function<QVariant(int level, int line)> groupKey;
        std::function<QString(const GridGroup &group)> caption;
        // The total shown under a column on a group row; the sum of its lines when not given.
        std::function<qint64(const GridGroup &group, int column)> total;
        std::function<QString(int line, int column)> cellStyle;
    };

    explicit GroupedGridModel(QObject *parent = nullptr);
    ~GroupedGridModel() override;

    // Columns, the number of group levels (0-3) and the column whose cells hold the captions.
    void setLayout(const QList<GridColumn> &columns, int levels, int captionColumn);
    // Rebuilds the groups over the source's lines.
    void setSource(Source source);

    const QList<GridColumn> &columns() const { return m_columns; }
    int levels() const { return m_levels; }
    int captionColumn() const { return m_captionColumn; }
    int lineCount() const { return m_source.lines; }
    // The group behind a group row; null for a line.
    const GridGroup *group(const QModelIndex &index) const;
    // The line behind a row; -1 for a group row.
    int line(const QModelIndex &index) const;
    // The index of a line's row in column 0; invalid when out of range.
    QModelIndex indexOfLine(int line) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Node;
    const Node *nodeOf(const QModelIndex &parent) const;
    bool holdsLines(const Node *node) const;
    void build();
    QVariant groupData(const Node *node, int column, int role) const;

    QList<GridColumn> m_columns;
    int m_levels = 0;
    int m_captionColumn = 0;
    Source m_source;
    std::unique_ptr<Node> m_root;
    std::vector<std::unique_ptr<Node>> m_nodes;
    std::vector<const Node *> m_leafParent; // per line, the group row that holds it
};
