#include "data/Grouping.h"

#include <algorithm>

Grouping::Grouping(const Lines &lines)
{
    if (lines.levels <= 0)
        return;
    m_innermost.assign(size_t(std::max(lines.count, 0)), -1);
    std::vector<int> open(size_t(lines.levels), -1);
    for (int line = 0; line < lines.count; ++line) {
        int changed = lines.levels;
        for (int level = 0; level < lines.levels; ++level) {
            const int current = open[size_t(level)];
            if (current < 0 || lines.key(level, line) != m_groups[size_t(current)].key) {
                changed = level;
                break;
            }
        }
        for (int level = changed; level < lines.levels; ++level) {
            LineGroup group;
            group.level = level;
            group.key = lines.key(level, line);
            group.first = line;
            group.totals.resize(lines.columns);
            group.parent = level == 0 ? -1 : open[size_t(level - 1)];
            std::vector<int> &siblings =
                level == 0 ? m_outermost : m_groups[size_t(group.parent)].children;
            group.row = int(siblings.size());
            siblings.push_back(int(m_groups.size()));
            open[size_t(level)] = int(m_groups.size());
            m_groups.push_back(std::move(group));
        }
        for (int level = 0; level < lines.levels; ++level)
            m_groups[size_t(open[size_t(level)])].last = line + 1;
        for (int column : lines.summed) {
            const qint64 value = lines.value(line, column);
            for (int level = 0; level < lines.levels; ++level)
                m_groups[size_t(open[size_t(level)])].totals[column] += value;
        }
        m_innermost[size_t(line)] = open[size_t(lines.levels - 1)];
    }
}
