#include "reportengine/ReportLayout.h"

#include "data/Money.h"
#include "data/PatternFormatter.h"
#include "reportengine/TextMeasure.h"

#include <QHash>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr double Epsilon = 0.01;
constexpr qint64 ProgressEveryRows = 500;

// A band laid out with its top at y = 0, or a block of a sub-report.
struct Placed {
    double height = 0.0;
    std::vector<TextRun> texts;
    std::vector<LineShape> lines;
    std::vector<BoxShape> boxes;
    std::vector<SheetRow> rows;
    std::vector<TocEntry> toc;
    std::vector<std::pair<size_t, const ReportItem *>> late; // text index, item

    void append(Placed &&other, double dx, double dy)
    {
        for (auto &[index, item] : other.late)
            late.emplace_back(index + texts.size(), item);
        for (TextRun &run : other.texts) {
            run.box.translate(dx, dy);
            texts.push_back(std::move(run));
        }
        for (LineShape &shape : other.lines) {
            shape.line.translate(dx, dy);
            lines.push_back(shape);
        }
        for (BoxShape &shape : other.boxes) {
            shape.rect.translate(dx, dy);
            boxes.push_back(shape);
        }
        for (SheetRow &row : other.rows)
            rows.push_back(std::move(row));
        for (TocEntry &entry : other.toc) {
            entry.y += dy;
            toc.push_back(std::move(entry));
        }
    }
};

enum class Role {
    ReportHeader,
    PageHeader,
    GroupHeader,
    Detail,
    GroupFooter,
    PageFooter,
    ReportFooter
};

struct Accumulator {
    const ReportItem *item = nullptr;
    int column = -1;
    QVariant zero;
    QVariant value;
    bool firstPass = false;       // its value comes from the totals of the first pass
    std::vector<QVariant> totals; // first pass: per group instance, or one for the report
};

// Where a band's growing items push the items under them.
struct Growth {
    double extra = 0.0;
    double below = 0.0;               // items starting at or under this height move down by extra
    std::vector<QStringList> wrapped; // per item: the lines of a growing item
};

bool isValueItem(const ReportItem &item)
{
    return item.kind == ReportItem::Kind::Label || item.kind == ReportItem::Kind::Field ||
           item.kind == ReportItem::Kind::Computed;
}

bool isWholeNumber(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

void addTo(QVariant &sum, const QVariant &value)
{
    if (!value.isValid())
        return;
    if (value.metaType() == QMetaType::fromType<Money>())
        sum = QVariant::fromValue(sum.value<Money>() + value.value<Money>());
    else if (isWholeNumber(value))
        sum = sum.toLongLong() + value.toLongLong();
}

// The state the layout shares with the layouts of its sub-reports.
struct Shared {
    Shared(ReportDocument *document, const QLocale &locale) : document(document), formatter(locale)
    {
    }
    ReportDocument *document;
    PatternFormatter formatter;
    TextMeasure measure;
    QHash<QString, int> patterns;
    struct Late {
        int page;
        size_t text;
        const ReportItem *item;
    };
    std::vector<Late> late;
    QString error;
    bool cancelled = false;
    LayoutProgressCallback progress;
    qint64 rowsDone = 0;
    qint64 totalRows = -1;

    int patternIndex(const QString &pattern)
    {
        if (pattern.isEmpty())
            return -1;
        if (const auto found = patterns.constFind(pattern); found != patterns.constEnd())
            return *found;
        document->patterns << pattern;
        return *patterns.insert(pattern, int(document->patterns.size() - 1));
    }

    QString format(const QVariant &value, const QString &pattern) const
    {
        if (!value.isValid())
            return {};
        if (value.metaType() == QMetaType::fromType<Money>())
            return formatter.format(value.value<Money>(),
                                    pattern.isEmpty() ? u"#,##0.00"_s : pattern);
        if (value.metaType() == QMetaType::fromType<QDate>())
            return formatter.format(value.toDate(), pattern.isEmpty() ? u"dd/mm/yyyy"_s : pattern);
        if (isWholeNumber(value))
            return pattern.isEmpty() ? QString::number(value.toLongLong())
                                     : formatter.format(value.toLongLong(), pattern);
        return value.toString();
    }
};

// What an item filled once all pages exist sees.
class LateContext : public ItemContext {
public:
    LateContext(int page, int count) : m_page(page), m_count(count) {}
    const RowView *row() const override { return nullptr; }
    int pageNumber() const override { return m_page; }
    int pageCount() const override { return m_count; }
    qint64 detailNumber() const override { return 0; }
    QVariant namedValue(const QString &) const override { return {}; }

private:
    int m_page;
    int m_count;
};

// Lays out one report: the main one onto pages, a sub-report into blocks for its parent.
class Engine : public ItemContext {
public:
    Engine(const ReportDefinition &definition, Shared &shared, Engine *parent)
        : m_def(definition), m_shared(shared), m_parent(parent)
    {
        for (const ReportFont &font : m_def.fonts)
            m_fonts.push_back(m_shared.measure.fontIndex(font));
        if (m_fonts.empty())
            m_fonts.push_back(m_shared.measure.fontIndex(ReportFont{}));
        const QSizeF size = m_def.page.sizePoints();
        m_pageHeight = size.height();
    }

    bool run(RowSource &source);
    std::vector<Placed> takeBlocks() { return std::move(m_blocks); }
    const QHash<QString, QVariant> &named() const { return m_named; }

    const RowView *row() const override { return m_row; }
    int pageNumber() const override { return m_parent ? m_parent->pageNumber() : m_pageNumber; }
    int pageCount() const override { return 0; }
    qint64 detailNumber() const override { return m_detailCount + (m_inDetail ? 1 : 0); }
    QVariant namedValue(const QString &name) const override { return m_named.value(name); }

private:
    bool isMain() const { return m_parent == nullptr; }
    bool failed() const { return m_shared.cancelled || !m_shared.error.isEmpty(); }

    void prepareAccumulators();
    void addAccumulators(const Band &band, Role role);
    void firstPass(const std::vector<QVariantList> &rows);
    int changedLevel(const QVariantList &previous, const QVariantList &current) const;
    void accumulate(const QVariantList &values);
    void resetAccumulators(Summary::Kind kind, int fromLevel);

    void openGroups(int level, const QVariantList &values);
    void closeGroups(int level, const QVariantList &values);
    // Lays out the band for the row (null on bands without one); returns the height it took.
    double placeBand(const Band &band, Role role, const QVariantList *values, int level = 0);
    BandFormat formatOf(const Band &band);
    Growth growthOf(const Band &band, const BandFormat &format);
    Placed build(const Band &band, const BandFormat &format, const Growth &growth);
    QVariant itemValue(const ReportItem &item, const ItemFormat &format);
    // One run, elided to its box, or the lines of a growing item one under the other.
    void addRuns(Placed &placed, const QString &text, const QStringList &wrapped,
                 const QRectF &rect, int font, quint16 alignment);
    void addCell(SheetRow &row, const Band &band, size_t index, const QVariant &value,
                 const QString &text, const QString &pattern);
    int columnOf(const ReportItem &item);
    // The document's index of the item's font; the default font for an unknown one.
    int documentFont(const ReportItem &item) const
    {
        return item.font > 0 && size_t(item.font) < m_fonts.size() ? m_fonts[size_t(item.font)]
                                                                   : m_fonts.front();
    }
    const std::vector<int> &sheetColumnsOf(const Band &band);
    bool hasSubReports(const Band &band, const BandFormat &format) const;
    std::vector<Placed> subReportBlocks(const ReportItem &item);
    void placeSubReports(const Band &band, const BandFormat &format, double top);
    Placed stackSubReports(const Band &band, const BandFormat &format, Placed own);

    void ensureSpace(double height, bool breakBefore);
    void openPage();
    void closePage();
    void commit(Placed &&placed, double dx, double y);
    bool reportProgress();

    const ReportDefinition &m_def;
    Shared &m_shared;
    Engine *m_parent;
    std::vector<int> m_fonts; // definition font -> document font
    const std::vector<RowColumn> *m_columns = nullptr;
    std::vector<int> m_groupColumns;
    std::vector<Accumulator> m_accumulators;
    QHash<const ReportItem *, int> m_accumulatorOf;
    QHash<const ReportItem *, int> m_columnOf;
    QHash<const Band *, std::vector<int>> m_sheetColumns;
    std::vector<int> m_groupInstance;
    QHash<QString, QVariant> m_named;
    const RowView *m_row = nullptr;
    bool m_inDetail = false;
    qint64 m_detailCount = 0;

    // The main report's pages.
    double m_pageHeight = 0.0;
    int m_pageNumber = 0;
    double m_y = 0.0;
    double m_bodyTop = 0.0;
    double m_bodyBottom = 0.0;
    bool m_pendingBreak = false;
    // A sub-report's blocks.
    std::vector<Placed> m_blocks;
};

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
        while (source.next(&values))
            buffered.push_back(std::move(values));
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

BandFormat Engine::formatOf(const Band &band)
{
    BandFormat format;
    format.visible = band.visible;
    format.newPageBefore = band.newPageBefore;
    format.items.resize(band.items.size());
    if (band.onFormat)
        band.onFormat(*this, band.items, format);
    return format;
}

double Engine::placeBand(const Band &band, Role role, const QVariantList *values, int level)
{
    if (failed() || (band.isEmpty() && !band.onFormat))
        return 0.0;
    const RowView view(m_columns, values);
    const RowView *const outerRow = m_row; // a page break lays page bands out in between
    m_row = values ? &view : nullptr;
    m_inDetail = role == Role::Detail;
    const BandFormat format = formatOf(band);
    m_inDetail = false;
    if (!format.visible) {
        if (role == Role::Detail)
            accumulate(*values);
        m_row = outerRow;
        return 0.0;
    }
    const Growth growth = growthOf(band, format);
    const double height = band.height + growth.extra;
    if (isMain() && role != Role::PageHeader && role != Role::PageFooter) {
        ensureSpace(height, format.newPageBefore);
        m_row = values ? &view : nullptr;
    }
    if (role == Role::Detail) {
        accumulate(*values);
        ++m_detailCount;
    }
    Placed placed = build(band, format, growth);
    placed.height = height;
    if (role == Role::GroupHeader && m_def.groups[size_t(level)].tocText && values)
        placed.toc.push_back({m_def.groups[size_t(level)].tocText(view), level, 0, 0.0});
    if (hasSubReports(band, format)) {
        if (isMain()) {
            const double top = m_y;
            commit(std::move(placed), 0.0, top);
            placeSubReports(band, format, top);
        } else {
            m_blocks.push_back(stackSubReports(band, format, std::move(placed)));
        }
    } else if (role == Role::PageHeader || role == Role::PageFooter) {
        commit(std::move(placed), 0.0, m_y);
    } else if (isMain()) {
        commit(std::move(placed), 0.0, m_y);
        m_y += height;
    } else {
        m_blocks.push_back(std::move(placed));
    }
    if (band.newPageAfter)
        m_pendingBreak = true;
    m_row = outerRow;
    return height;
}

Growth Engine::growthOf(const Band &band, const BandFormat &format)
{
    Growth growth;
    double growingBottom = 0.0;
    for (size_t i = 0; i < band.items.size(); ++i) {
        const ReportItem &item = band.items[i];
        if (!item.canGrow || !format.items[i].visible || !isValueItem(item))
            continue;
        const QVariant value = itemValue(item, format.items[i]);
        const QString text = format.items[i].text.value_or(
            m_shared.format(value, format.items[i].pattern.value_or(item.pattern)));
        const int font = documentFont(item);
        if (growth.wrapped.empty())
            growth.wrapped.resize(band.items.size());
        growth.wrapped[i] = m_shared.measure.wrapped(font, text, item.rect.width());
        const double lineHeight = m_shared.measure.lineHeight(font);
        const double needed =
            growth.wrapped[i].size() * lineHeight + std::max(0.0, item.rect.height() - lineHeight);
        growth.extra = std::max(growth.extra, needed - item.rect.height());
        growingBottom = std::max(growingBottom, item.rect.bottom());
    }
    growth.below = growingBottom - Epsilon;
    return growth;
}

QVariant Engine::itemValue(const ReportItem &item, const ItemFormat &format)
{
    if (format.text)
        return *format.text;
    switch (item.kind) {
    case ReportItem::Kind::Label:
        return item.text;
    case ReportItem::Kind::Computed:
        return item.needsPageCount || !item.compute ? QVariant() : item.compute(*this);
    case ReportItem::Kind::Field:
        break;
    default:
        return {};
    }
    if (const auto found = m_accumulatorOf.constFind(&item); found != m_accumulatorOf.constEnd()) {
        const Accumulator &accumulator = m_accumulators[size_t(*found)];
        if (!accumulator.firstPass)
            return accumulator.value;
        const size_t instance =
            item.summary.kind == Summary::Kind::GroupTotal
                ? size_t(std::max(0, m_groupInstance[size_t(item.summary.groupLevel)] - 1))
                : 0;
        return instance < accumulator.totals.size() ? accumulator.totals[instance]
                                                    : accumulator.zero;
    }
    if (!m_row)
        return {};
    const int column = format.column ? m_row->indexOf(*format.column) : columnOf(item);
    return column >= 0 ? m_row->value(column) : QVariant();
}

int Engine::columnOf(const ReportItem &item)
{
    if (const auto found = m_columnOf.constFind(&item); found != m_columnOf.constEnd())
        return *found;
    return *m_columnOf.insert(&item, RowView(m_columns, nullptr).indexOf(item.column));
}

Placed Engine::build(const Band &band, const BandFormat &format, const Growth &growth)
{
    Placed placed;
    placed.texts.reserve(band.items.size());
    SheetRow sheetRow;
    const bool tabular = band.tabular || &band == &m_def.detail;
    for (size_t i = 0; i < band.items.size(); ++i) {
        const ReportItem &item = band.items[i];
        const ItemFormat &itemFormat = format.items[i];
        if (!itemFormat.visible)
            continue;
        QRectF rect = item.rect;
        rect.moveLeft(itemFormat.left.value_or(item.rect.left()));
        if (growth.extra > 0.0 && rect.top() >= growth.below)
            rect.translate(0.0, growth.extra);
        switch (item.kind) {
        case ReportItem::Kind::Rule:
            placed.lines.push_back(
                {QLineF(rect.topLeft(), rect.width() > 0.0 ? rect.topRight() : rect.bottomLeft()),
                 float(item.lineWidth)});
            continue;
        case ReportItem::Kind::Box:
            placed.boxes.push_back({rect, float(item.lineWidth)});
            continue;
        case ReportItem::Kind::SubReport:
            continue;
        default:
            break;
        }
        const int font = documentFont(item);
        const quint16 alignment = quint16(item.alignment.toInt());
        if (item.needsPageCount) {
            placed.late.emplace_back(placed.texts.size(), &item);
            placed.texts.push_back({QString(), rect, quint16(font), alignment});
            continue;
        }
        const QString pattern = itemFormat.pattern.value_or(item.pattern);
        const QVariant value = itemValue(item, itemFormat);
        const QString text = m_shared.format(value, pattern);
        if (!text.isEmpty())
            addRuns(placed, text, growth.wrapped.empty() ? QStringList() : growth.wrapped[i], rect,
                    font, alignment);
        if (tabular)
            addCell(sheetRow, band, i, value, text, pattern);
        if (!item.name.isEmpty())
            m_named.insert(item.name, value);
    }
    if (tabular && !sheetRow.cells.empty())
        placed.rows.push_back(std::move(sheetRow));
    return placed;
}

void Engine::addRuns(Placed &placed, const QString &text, const QStringList &wrapped,
                     const QRectF &rect, int font, quint16 alignment)
{
    if (wrapped.isEmpty()) {
        placed.texts.push_back(
            {m_shared.measure.elided(font, text, rect.width()), rect, quint16(font), alignment});
        return;
    }
    // The first line stands where a single line would, the others under it.
    const double lineHeight = m_shared.measure.lineHeight(font);
    const double top = rect.top() + std::max(0.0, rect.height() - lineHeight) / 2.0;
    for (qsizetype l = 0; l < wrapped.size(); ++l) {
        const QRectF lineBox = wrapped.size() == 1 ? rect
                                                   : QRectF(rect.left(), top + l * lineHeight,
                                                            rect.width(), lineHeight);
        placed.texts.push_back({wrapped[l], lineBox, quint16(font), alignment});
    }
}

void Engine::addCell(SheetRow &row, const Band &band, size_t index, const QVariant &value,
                     const QString &text, const QString &pattern)
{
    Cell cell;
    cell.column = quint16(sheetColumnsOf(band)[index]);
    if (value.metaType() == QMetaType::fromType<Money>()) {
        cell.kind = Cell::Kind::Money;
        cell.number = value.value<Money>().units();
    } else if (value.metaType() == QMetaType::fromType<QDate>() && value.toDate().isValid()) {
        cell.kind = Cell::Kind::Date;
        cell.number = value.toDate().toJulianDay();
    } else if (isWholeNumber(value)) {
        cell.kind = Cell::Kind::Integer;
        cell.number = value.toLongLong();
    } else {
        cell.text = text;
    }
    if (cell.kind != Cell::Kind::Text)
        cell.pattern = m_shared.patternIndex(pattern);
    row.cells.push_back(std::move(cell));
}

const std::vector<int> &Engine::sheetColumnsOf(const Band &band)
{
    auto found = m_sheetColumns.find(&band);
    if (found != m_sheetColumns.end())
        return *found;
    std::vector<size_t> order;
    for (size_t i = 0; i < band.items.size(); ++i)
        if (isValueItem(band.items[i]))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return band.items[a].rect.left() < band.items[b].rect.left();
    });
    std::vector<int> columns(band.items.size(), 0);
    for (size_t rank = 0; rank < order.size(); ++rank) {
        const ReportItem &item = band.items[order[rank]];
        columns[order[rank]] = item.sheetColumn >= 0 ? item.sheetColumn : int(rank);
    }
    // Every tabular band widens the sheet's columns, not the detail lines alone.
    if (isMain() && (band.tabular || &band == &m_def.detail)) {
        std::vector<double> &widths = m_shared.document->sheetColumnWidths;
        for (size_t i : order) {
            const size_t column = size_t(columns[i]);
            if (widths.size() <= column)
                widths.resize(column + 1, 0.0);
            widths[column] = std::max(widths[column], band.items[i].rect.width());
        }
    }
    return *m_sheetColumns.insert(&band, std::move(columns));
}

bool Engine::hasSubReports(const Band &band, const BandFormat &format) const
{
    for (size_t i = 0; i < band.items.size(); ++i)
        if (band.items[i].kind == ReportItem::Kind::SubReport && format.items[i].visible &&
            band.items[i].subReport && band.items[i].subReport->definition)
            return true;
    return false;
}

std::vector<Placed> Engine::subReportBlocks(const ReportItem &item)
{
    Engine child(*item.subReport->definition, m_shared, this);
    std::unique_ptr<RowSource> rows =
        item.subReport->rows ? item.subReport->rows()
                             : std::make_unique<MemoryRowSource>(std::vector<RowColumn>{},
                                                                 std::vector<QVariantList>{});
    child.run(*rows);
    if (!item.name.isEmpty())
        for (auto it = child.named().constBegin(); it != child.named().constEnd(); ++it)
            m_named.insert(item.name + u'.' + it.key(), it.value());
    return child.takeBlocks();
}

Placed Engine::stackSubReports(const Band &band, const BandFormat &format, Placed own)
{
    own.height = band.height;
    for (size_t i = 0; i < band.items.size(); ++i) {
        const ReportItem &item = band.items[i];
        if (item.kind != ReportItem::Kind::SubReport || !format.items[i].visible)
            continue;
        const double left = format.items[i].left.value_or(item.rect.left());
        double y = item.rect.top();
        for (Placed &block : subReportBlocks(item)) {
            const double height = block.height;
            own.append(std::move(block), left, y);
            y += height;
        }
        own.height = std::max(own.height, y);
    }
    return own;
}

void Engine::placeSubReports(const Band &band, const BandFormat &format, double top)
{
    struct Column {
        double left;
        std::vector<Placed> blocks;
        size_t next = 0;
        double y;
    };
    std::vector<Column> columns;
    for (size_t i = 0; i < band.items.size(); ++i) {
        const ReportItem &item = band.items[i];
        if (item.kind == ReportItem::Kind::SubReport && format.items[i].visible && item.subReport &&
            item.subReport->definition)
            columns.push_back({format.items[i].left.value_or(item.rect.left()),
                               subReportBlocks(item), 0, top + item.rect.top()});
    }
    double end = top + band.height;
    for (;;) {
        bool remaining = false;
        double pageEnd = 0.0;
        for (Column &column : columns) {
            while (column.next < column.blocks.size()) {
                Placed &block = column.blocks[column.next];
                if (column.y + block.height > m_bodyBottom && column.y > m_bodyTop + Epsilon)
                    break;
                const double height = block.height;
                commit(std::move(block), column.left, column.y);
                column.y += height;
                ++column.next;
            }
            remaining = remaining || column.next < column.blocks.size();
            pageEnd = std::max(pageEnd, column.y);
        }
        end = std::max(end, pageEnd);
        if (!remaining)
            break;
        closePage();
        openPage();
        end = m_y;
        for (Column &column : columns)
            column.y = m_bodyTop;
    }
    m_y = end;
}

void Engine::ensureSpace(double height, bool breakBefore)
{
    const bool pageUsed = m_y > m_bodyTop + Epsilon;
    if (pageUsed && (breakBefore || m_pendingBreak || m_y + height > m_bodyBottom + Epsilon)) {
        closePage();
        openPage();
    }
    m_pendingBreak = false;
}

void Engine::openPage()
{
    m_shared.document->pages.emplace_back();
    ++m_pageNumber;
    resetAccumulators(Summary::Kind::PageTotal, 0);
    m_y = m_def.page.margins.top();
    m_bodyTop = m_y;
    m_y += placeBand(m_def.pageHeader, Role::PageHeader, nullptr);
    m_bodyTop = m_y;
    m_bodyBottom = m_pageHeight - m_def.page.margins.bottom() - m_def.pageFooter.height;
}

void Engine::closePage()
{
    m_y = m_bodyBottom;
    placeBand(m_def.pageFooter, Role::PageFooter, nullptr);
    ReportPage &page = m_shared.document->pages.back();
    page.texts.shrink_to_fit();
    page.lines.shrink_to_fit();
    page.rows.shrink_to_fit();
}

void Engine::commit(Placed &&placed, double dx, double y)
{
    const int pageIndex = int(m_shared.document->pages.size()) - 1;
    ReportPage &page = m_shared.document->pages.back();
    for (const auto &[index, item] : placed.late)
        m_shared.late.push_back({pageIndex, index + page.texts.size(), item});
    for (TextRun &run : placed.texts) {
        run.box.translate(dx, y);
        page.texts.push_back(std::move(run));
    }
    for (LineShape &shape : placed.lines) {
        shape.line.translate(dx, y);
        page.lines.push_back(shape);
    }
    for (BoxShape &shape : placed.boxes) {
        shape.rect.translate(dx, y);
        page.boxes.push_back(shape);
    }
    for (SheetRow &row : placed.rows)
        page.rows.push_back(std::move(row));
    for (TocEntry &entry : placed.toc) {
        entry.page = pageIndex;
        entry.y += y;
        m_shared.document->toc.push_back(std::move(entry));
    }
}

} // namespace

ReportLayout::ReportLayout(ReportDefinition definition, const QLocale &locale)
    : m_definition(std::move(definition)), m_locale(locale)
{
}

bool ReportLayout::run(RowSource &rows, ReportDocument *document, QString *error)
{
    *document = ReportDocument();
    document->title = m_definition.title;
    document->page = m_definition.page;
    document->sheetCaptions = m_definition.sheetCaptions;
    Shared shared(document, m_locale);
    shared.progress = m_progress;
    Engine engine(m_definition, shared, nullptr);
    const bool ok = engine.run(rows);
    m_cancelled = shared.cancelled;
    if (!ok) {
        *document = ReportDocument();
        if (error)
            *error = m_cancelled ? u"Preparazione del report annullata."_s
                                 : u"Preparazione del report non riuscita: "_s + shared.error;
        return false;
    }
    const int count = document->pageCount();
    for (const Shared::Late &late : shared.late) {
        const LateContext context(late.page + 1, count);
        TextRun &run = document->pages[size_t(late.page)].texts[late.text];
        run.text = shared.format(late.item->compute ? late.item->compute(context) : QVariant(),
                                 late.item->pattern);
    }
    document->fonts = shared.measure.fonts();
    return true;
}

bool layOutReport(const ReportDefinition &definition, RowSource &rows, const QLocale &locale,
                  ReportDocument *document, QString *error, const LayoutProgressCallback &progress)
{
    ReportLayout layout(definition, locale);
    layout.setProgress(progress);
    return layout.run(rows, document, error);
}
