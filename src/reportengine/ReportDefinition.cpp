#include "reportengine/ReportDefinition.h"

using namespace Qt::StringLiterals;

QSizeF PageSetup::sizePoints() const
{
    const QSizeF portrait = QPageSize(size).size(QPageSize::Point);
    return orientation == QPageLayout::Landscape ? portrait.transposed() : portrait;
}

ReportItem ReportItem::label(const QString &text, QRectF rect, int font, Qt::Alignment alignment)
{
    ReportItem item;
    item.kind = Kind::Label;
    item.text = text;
    item.rect = rect;
    item.font = font;
    item.alignment = alignment;
    return item;
}

ReportItem ReportItem::field(const QString &column, QRectF rect, const QString &pattern,
                             Qt::Alignment alignment)
{
    ReportItem item;
    item.kind = Kind::Field;
    item.column = column;
    item.rect = rect;
    item.pattern = pattern;
    item.alignment = alignment;
    return item;
}

ReportItem ReportItem::computed(std::function<QVariant(const ItemContext &)> compute, QRectF rect,
                                Qt::Alignment alignment)
{
    ReportItem item;
    item.kind = Kind::Computed;
    item.compute = std::move(compute);
    item.rect = rect;
    item.alignment = alignment;
    return item;
}

ReportItem ReportItem::sum(Summary summary, QRectF rect, const QString &pattern,
                           Qt::Alignment alignment)
{
    ReportItem item = field(summary.column, rect, pattern, alignment);
    item.summary = std::move(summary);
    return item;
}

ReportItem ReportItem::rule(double x1, double y, double x2)
{
    ReportItem item;
    item.kind = Kind::Rule;
    item.rect = QRectF(x1, y, x2 - x1, 0.0);
    return item;
}

ReportItem ReportItem::box(QRectF rect)
{
    ReportItem item;
    item.kind = Kind::Box;
    item.rect = rect;
    return item;
}

ReportItem ReportItem::subReportAt(std::shared_ptr<SubReport> report, QRectF rect)
{
    ReportItem item;
    item.kind = Kind::SubReport;
    item.subReport = std::move(report);
    item.rect = rect;
    return item;
}

ItemFormat *BandFormat::item(const std::vector<ReportItem> &bandItems, const QString &name)
{
    for (size_t i = 0; i < bandItems.size() && i < items.size(); ++i)
        if (bandItems[i].name == name)
            return &items[i];
    return nullptr;
}

bool ReportDefinition::needsFirstPass() const
{
    auto sumsAhead = [](const Band &band, Summary::Kind kind) {
        for (const ReportItem &item : band.items)
            if (item.summary.kind == kind)
                return true;
        return false;
    };
    if (sumsAhead(reportHeader, Summary::Kind::ReportTotal))
        return true;
    for (const ReportGroup &group : groups)
        if (sumsAhead(group.header, Summary::Kind::GroupTotal))
            return true;
    return false;
}

ReportItem inSheetColumn(ReportItem item, const QString &name, int column, int font)
{
    item.name = name;
    item.sheetColumn = column;
    item.font = font;
    return item;
}

Band pageNumberFooter(double left, double width)
{
    ReportItem pages = ReportItem::computed(
        [](const ItemContext &context) {
            return QVariant(QString::number(context.pageNumber()) + u" / "_s +
                            QString::number(context.pageCount()));
        },
        QRectF(left, 4, width, 12), Qt::AlignHCenter | Qt::AlignVCenter);
    pages.needsPageCount = true;
    Band band;
    band.height = 16;
    band.items = {pages};
    return band;
}
