// The pass over the rows: groups, sums and progress.

#include "reportengine/LayoutEngine.h"

#include <algorithm>

namespace layout {

namespace {

// A text the row repeats from the row before it shares that row's copy: the rows of a group
// repeat its name (a year's account cards keep 160,000 rows for their first pass).
void shareRepeatedTexts(QVariantList &values, const std::vector<QVariantList> &buffered)
{
    if (buffered.empty())
        return;
    const QVariantList &before = buffered.back();
    for (qsizetype i = 0; i < values.size() && i < before.size(); ++i)
        if (values[i].metaType() == QMetaType::fromType<QString>() && values[i] == before[i])
            values[i] = before[i];
}

} // namespace

bool Engine::run(RowSource &source)
{
    m_columns = &source.columns();
    for (const ReportGroup &group : m_def.groups)
        m_groupColumns.push_back(RowView(m_columns, nullptr).indexOf(group.column));
    m_groupInstance.assign(m_def.groups.size(), 0);
    prepareAccumulators();

    std::vector<QVariantList> buffered;
    const bool buffer = m_def.needsFirstPass();
    if (buffer) {
        QVariantList values;
        while (source.next(&values)) {
            shareRepeatedTexts(values, buffered);
            buffered.push_back(std::move(values));
        }
        if (!source.errorText().isEmpty()) {
            m_shared.error = source.errorText();
            return false;
        }
        firstPass(buffered);
    }
    if (isMain())
        m_shared.totalRows = buffer ? qint64(buffered.size()) : source.sizeHint();

    size_t nextBuffered = 0;
    auto nextRow = [&](QVariantList *values) {
        if (!buffer)
            return source.next(values);
        if (nextBuffered >= buffered.size())
            return false;
        *values = std::move(buffered[nextBuffered++]);
        return true;
    };

    if (isMain())
        openPage();
    placeBand(m_def.reportHeader, Role::ReportHeader, nullptr);
    QVariantList previous, current;
    bool havePrevious = false;
    while (!failed() && nextRow(&current)) {
        const int level = havePrevious ? changedLevel(previous, current) : 0;
        if (havePrevious)
            closeGroups(level, previous);
        openGroups(level, current);
        placeBand(m_def.detail, Role::Detail, &current);
        std::swap(previous, current);
        havePrevious = true;
        if (isMain() && !reportProgress())
            return false;
    }
    if (failed())
        return false;
    if (!source.errorText().isEmpty()) {
        m_shared.error = source.errorText();
        return false;
    }
    if (havePrevious)
        closeGroups(0, previous);
    placeBand(m_def.reportFooter, Role::ReportFooter, nullptr);
    if (isMain())
        closePage();
    return !failed();
}

bool Engine::reportProgress()
{
    ++m_shared.rowsDone;
    if (!m_shared.progress || m_shared.rowsDone % ProgressEveryRows != 0)
        return true;
    if (!m_shared.progress({m_shared.rowsDone, m_pageNumber, m_shared.totalRows}))
        m_shared.cancelled = true;
    return !m_shared.cancelled;
}

void Engine::prepareAccumulators()
{
    addAccumulators(m_def.reportHeader, Role::ReportHeader);
    addAccumulators(m_def.pageHeader, Role::PageHeader);
    for (const ReportGroup &group : m_def.groups) {
        addAccumulators(group.header, Role::GroupHeader);
        addAccumulators(group.footer, Role::GroupFooter);
    }
    addAccumulators(m_def.detail, Role::Detail);
    addAccumulators(m_def.pageFooter, Role::PageFooter);
    addAccumulators(m_def.reportFooter, Role::ReportFooter);
}

void Engine::addAccumulators(const Band &band, Role role)
{
    for (const ReportItem &item : band.items) {
        if (item.summary.kind == Summary::Kind::None)
            continue;
        Accumulator accumulator;
        accumulator.item = &item;
        accumulator.column = RowView(m_columns, nullptr).indexOf(item.summary.column);
        if (accumulator.column >= 0) {
            const ColumnKind kind = (*m_columns)[size_t(accumulator.column)].kind;
            if (kind == ColumnKind::Money)
                accumulator.zero = QVariant::fromValue(Money());
            else if (kind == ColumnKind::Integer)
                accumulator.zero = qint64(0);
        }
        accumulator.value =
            item.summary.kind == Summary::Kind::Running && item.summary.start.isValid()
                ? item.summary.start
                : accumulator.zero;
        accumulator.firstPass =
            (item.summary.kind == Summary::Kind::GroupTotal && role == Role::GroupHeader) ||
            (item.summary.kind == Summary::Kind::ReportTotal && role == Role::ReportHeader);
        m_accumulatorOf.insert(&item, int(m_accumulators.size()));
        m_accumulators.push_back(std::move(accumulator));
    }
}

void Engine::firstPass(const std::vector<QVariantList> &rows)
{
    for (size_t r = 0; r < rows.size(); ++r) {
        const int level = r == 0 ? 0 : changedLevel(rows[r - 1], rows[r]);
        for (Accumulator &accumulator : m_accumulators) {
            if (!accumulator.firstPass)
                continue;
            const bool perGroup = accumulator.item->summary.kind == Summary::Kind::GroupTotal;
            if (accumulator.totals.empty() ||
                (perGroup && accumulator.item->summary.groupLevel >= level))
                accumulator.totals.push_back(accumulator.zero);
            if (accumulator.column >= 0)
                addTo(accumulator.totals.back(), rows[r].value(accumulator.column));
        }
    }
}

int Engine::changedLevel(const QVariantList &previous, const QVariantList &current) const
{
    for (size_t level = 0; level < m_groupColumns.size(); ++level) {
        const int column = m_groupColumns[level];
        if (previous.value(column) != current.value(column))
            return int(level);
    }
    return int(m_groupColumns.size());
}

void Engine::accumulate(const QVariantList &values)
{
    for (Accumulator &accumulator : m_accumulators)
        if (!accumulator.firstPass && accumulator.column >= 0)
            addTo(accumulator.value, values.value(accumulator.column));
}

void Engine::resetAccumulators(Summary::Kind kind, int fromLevel)
{
    for (Accumulator &accumulator : m_accumulators)
        if (accumulator.item->summary.kind == kind &&
            accumulator.item->summary.groupLevel >= fromLevel)
            accumulator.value = accumulator.zero;
}

void Engine::openGroups(int level, const QVariantList &values)
{
    resetAccumulators(Summary::Kind::GroupTotal, level);
    resetAccumulators(Summary::Kind::GroupRunning, level);
    for (size_t l = size_t(level); l < m_def.groups.size(); ++l) {
        ++m_groupInstance[l];
        placeBand(m_def.groups[l].header, Role::GroupHeader, &values, int(l));
    }
}

void Engine::closeGroups(int level, const QVariantList &values)
{
    for (int l = int(m_def.groups.size()) - 1; l >= level; --l)
        placeBand(m_def.groups[size_t(l)].footer, Role::GroupFooter, &values, l);
}

} // namespace layout
