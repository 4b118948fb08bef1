#pragma once

#include "data/GridColumn.h"
#include "data/Grouping.h"

#include <QAbstractItemModel>

#include <functional>

// A read-only grid whose lines the program supplies one by one, gathered under any number of levels
// of group rows (see Grouping). Group rows show a caption supplied by the program and, under the
// columns with a sumPattern, the group's total.
class GroupedGridModel : public QAbstractItemModel {
    Q_OBJECT

public:
    struct Source {
        int lines = 0;
        std::function<QVariant(int line, int column)> value;
        // A summed column's value as a number, where reading it so is quicker than value().
        std::function<qint64(int line, int column)> amount;
        // Identity of the line's group at a level; groups are told apart by it, not by caption.
        std::function<QVariant(int level, int line)> groupKey;
        std::function<QString(const LineGroup &group)> caption;
        // The total shown under a column on a group row; the sum of its lines when not given.
        std::function<qint64(const LineGroup &group, int column)> total;
        std::function<QString(int line, int column)> cellStyle;
    };

    explicit GroupedGridModel(QObject *parent = nullptr);

    // Columns, the number of group levels and the column whose cells hold the captions.
    void setLayout(const QList<GridColumn> &columns, int levels, int captionColumn);
    // Rebuilds the groups over the source's lines.
    void setSource(Source source);

    const QList<GridColumn> &columns() const { return m_columns; }
    int levels() const { return m_levels; }
    int captionColumn() const { return m_captionColumn; }
    int lineCount() const { return m_source.lines; }
    const PatternFormatter &formatter() const { return m_formatter; }
    // The group behind a group row; null for a line.
    const LineGroup *group(const QModelIndex &index) const;
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
    // Rows are held by the root (Root) or by a group (its index); an index's internal id is its
    // holder plus one, so that 0 stands for the root.
    static constexpr int Root = -1;
    static int holderOf(const QModelIndex &index) { return int(index.internalId()) - 1; }
    QModelIndex indexIn(int holder, int row, int column) const;
    bool holdsLines(int holder) const;
    int firstLine(int holder) const;
    const std::vector<int> &children(int holder) const;
    // The group shown on a row of the holder; Root when the row is a line.
    int groupAt(int holder, int row) const;
    void build();
    QVariant groupData(int group, int column, int role) const;

    QList<GridColumn> m_columns;
    int m_levels = 0;
    int m_captionColumn = 0;
    Source m_source;
    Grouping m_grouping;
    std::vector<QString> m_captions; // per group
    // Formats with the program's locale as it is when the model is made.
    PatternFormatter m_formatter;
};
