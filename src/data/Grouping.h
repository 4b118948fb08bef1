#pragma once

#include <QList>
#include <QVariant>

#include <functional>
#include <vector>

// One group of lines: its level (0 the outermost), its key, the run of lines it holds and its
// place in the tree of groups.
struct LineGroup {
    int level = 0;
    QVariant key;
    int first = 0;             // first line
    int last = 0;              // one past the last line
    QList<qint64> totals;      // per column; the sum of its lines for the summed columns
    int parent = -1;           // the enclosing group; -1 at level 0
    int row = 0;               // position among the enclosing group's children
    std::vector<int> children; // the groups one level down, in line order
};

// Lines gathered under any number of levels of groups, in one pass. Lines come in group order:
// a group is a run of consecutive lines with the same key at its level and at every outer level,
// so a line opens a new group at the first level whose key differs from the previous line's,
// and at every deeper level with it.
class Grouping {
public:
    struct Lines {
        int count = 0;
        int levels = 0;
        int columns = 0;
        QList<int> summed; // the columns whose totals are summed
        std::function<QVariant(int level, int line)> key;
        std::function<qint64(int line, int column)> value; // asked only for summed columns
    };

    Grouping() = default;
    explicit Grouping(const Lines &lines);

    // Every group, each one after its enclosing group.
    const std::vector<LineGroup> &groups() const { return m_groups; }
    const LineGroup &group(int index) const { return m_groups[size_t(index)]; }
    // The groups of level 0, in line order.
    const std::vector<int> &outermost() const { return m_outermost; }
    // Replaces a group's total under a column, for a column whose group rows show something
    // else than the sum of the lines (a balance).
    void setTotal(int group, int column, qint64 total)
    {
        m_groups[size_t(group)].totals[column] = total;
    }
    // The innermost group that holds the line; -1 without levels.
    int innermostOf(int line) const { return m_innermost.empty() ? -1 : m_innermost[size_t(line)]; }

private:
    std::vector<LineGroup> m_groups;
    std::vector<int> m_outermost;
    std::vector<int> m_innermost;
};
