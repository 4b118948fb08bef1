// Bands and their items: formats, values, growth, spreadsheet cells and sub-reports.

#include "reportengine/LayoutEngine.h"

#include <algorithm>

namespace layout {

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
    // Room for a line's usual texts, so that they are not copied again as they grow.
    placed.texts.reserve(band.items.size(), qsizetype(band.items.size()) * 16);
    SheetRow sheetRow;
    const bool tabular = m_def.sheetRows && (band.tabular || &band == &m_def.detail);
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
            placed.texts.add({}, rect, quint16(font), alignment);
            continue;
        }
        const QString pattern = itemFormat.pattern.value_or(item.pattern);
        const QVariant value = itemValue(item, itemFormat);
        const QString text = m_shared.format(value, pattern);
        // An amount is never cut short: one too long for its box is drawn smaller.
        const bool amount = value.metaType() == QMetaType::fromType<Money>();
        if (!text.isEmpty())
            addRuns(placed, text, growth.wrapped.empty() ? QStringList() : growth.wrapped[i], rect,
                    amount ? m_shared.measure.fitting(font, text, rect.width()) : font, alignment);
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
        placed.texts.add(m_shared.measure.elided(font, text, rect.width()), rect, quint16(font),
                         alignment);
        return;
    }
    // The first line stands where a single line would, the others under it.
    const double lineHeight = m_shared.measure.lineHeight(font);
    const double top = rect.top() + std::max(0.0, rect.height() - lineHeight) / 2.0;
    for (qsizetype l = 0; l < wrapped.size(); ++l) {
        const QRectF lineBox = wrapped.size() == 1 ? rect
                                                   : QRectF(rect.left(), top + l * lineHeight,
                                                            rect.width(), lineHeight);
        placed.texts.add(wrapped[l], lineBox, quint16(font), alignment);
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

} // namespace layout
