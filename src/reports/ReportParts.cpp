#include "reports/ReportParts.h"

#include "data/PatternFormatter.h"

using namespace Qt::StringLiterals;

QString periodText(const QDate &from, const QDate &to)
{
    const PatternFormatter formatter;
    return u"dal "_s + formatter.format(from, ReportDatePattern) + u" al "_s +
           formatter.format(to, ReportDatePattern);
}

Band pageOfCountFooter(double left, double width, int font)
{
    ReportItem pages = ReportItem::computed(
        [](const ItemContext &context) {
            return QVariant(
                u"Pagina %1 di %2"_s.arg(context.pageNumber()).arg(context.pageCount()));
        },
        QRectF(left, 4, width, 12), Qt::AlignHCenter | Qt::AlignVCenter);
    pages.needsPageCount = true;
    pages.font = font;
    Band band;
    band.height = 16;
    band.items = {pages};
    return band;
}

std::vector<ReportFont> listReportFonts()
{
    return {ReportFont{{}, 7.5, false, false}, ReportFont{{}, 14.0, true, false},
            ReportFont{{}, 9.0, true, false}, ReportFont{{}, 7.5, true, false}};
}

Band listPageHeader(const QString &title, const QString &organisation, const QString &period,
                    double left, double right, const std::vector<ListColumn> &columns,
                    std::vector<ReportItem> extra)
{
    constexpr double CaptionTop = 40;
    constexpr Qt::Alignment RightAligned = Qt::AlignRight | Qt::AlignVCenter;
    const double half = (right - left) / 2;
    Band band;
    band.height = CaptionTop + 18;
    band.items = {
        ReportItem::label(title, QRectF(left, 0, half, 20), ListTitle),
        ReportItem::label(organisation, QRectF(left + half, 0, half, 20), ListHeading,
                          RightAligned),
        ReportItem::label(period, QRectF(left + half, 20, half, 12), ListBody, RightAligned),
        ReportItem::rule(left, CaptionTop - 2, right),
    };
    for (const ListColumn &column : columns)
        band.items.push_back(ReportItem::label(column.caption, column.at(CaptionTop, 14),
                                               ListCaption, column.alignment));
    band.items.push_back(ReportItem::rule(left, CaptionTop + 15, right));
    for (ReportItem &item : extra)
        band.items.push_back(std::move(item));
    return band;
}
