#pragma once

#include "reportengine/RowSource.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Page size, orientation and margins; every position in a report is in points (1/72 inch)
// from the page's top-left corner.
struct PageSetup {
    QPageSize::PageSizeId size = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{28.0, 28.0, 28.0, 28.0};

    QSizeF sizePoints() const;
    double bodyWidth() const { return sizePoints().width() - margins.left() - margins.right(); }
};

// A font of the report, referred to by its index in ReportDefinition::fonts.
struct ReportFont {
    QString family;
    double pointSize = 8.0;
    bool bold = false;
    bool italic = false;
};

// What an item's value sums, and when its sum starts again.
struct Summary {
    enum class Kind {
        None,
        GroupTotal,   // over the whole group (on a group header it comes from the first pass)
        GroupRunning, // from the first row of the group to the current one
        Running,      // from the first row of the report to the current one
        PageTotal,    // over the detail rows of the current page
        ReportTotal,  // over the whole report (on the report header from the first pass)
    };
    Kind kind = Kind::None;
    QString column; // the column summed: money or whole numbers
    int groupLevel = 0;
    // Where a running sum starts (a total carried from an earlier part of a book printed in
    // runs), of the column's type; null for zero.
    QVariant start = {};
};

// What a computed item or a format callback sees.
class ItemContext {
public:
    virtual ~ItemContext() = default;
    // The current row; null on page bands and on items filled once all pages exist.
    virtual const RowView *row() const = 0;
    virtual int pageNumber() const = 0;
    // The number of pages, known only to items marked needsPageCount; 0 elsewhere.
    virtual int pageCount() const = 0;
    // Detail lines laid out so far in this run, the current one included.
    virtual qint64 detailNumber() const = 0;
    // The last value laid out by the named item (summaries included), or of a named item of a
    // sub-report as "subReportItem.item"; null before it has been laid out.
    virtual QVariant namedValue(const QString &name) const = 0;
};

struct ReportDefinition;

// A report laid out inside an item's rectangle, its bands one under the other; two sub-reports
// in one band stand side by side and may each continue on the following pages.
struct SubReport {
    std::shared_ptr<const ReportDefinition> definition;
    // Opens the rows when the sub-report is laid out; null for a report without rows.
    std::function<std::unique_ptr<RowSource>()> rows;
};

struct ReportItem {
    enum class Kind { Label, Field, Computed, Rule, Box, SubReport };
    Kind kind = Kind::Label;
    QString name;
    QRectF rect;    // inside the band; a rule runs from the top-left to the top-right corner
                    // (horizontal) or bottom-left (when the width is zero)
    QString text;   // a label's text
    QString column; // a field's column
    std::function<QVariant(const ItemContext &)> compute;
    bool needsPageCount = false; // computed once all pages exist (no row, no summaries)
    Summary summary;             // a field that sums its column
    QString pattern;             // for numbers and dates
    int font = 0;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool canGrow = false;   // wraps onto more lines, making its band taller; else it is elided
    double lineWidth = 0.5; // rules and boxes
    int sheetColumn = -1;   // column in tabular outputs; -1: the item's place left to right
    std::shared_ptr<SubReport> subReport;

    static ReportItem label(const QString &text, QRectF rect, int font = 0,
                            Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    static ReportItem field(const QString &column, QRectF rect, const QString &pattern = {},
                            Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    static ReportItem computed(std::function<QVariant(const ItemContext &)> compute, QRectF rect,
                               Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    static ReportItem sum(Summary summary, QRectF rect, const QString &pattern,
                          Qt::Alignment alignment = Qt::AlignRight | Qt::AlignVCenter);
    static ReportItem rule(double x1, double y, double x2);
    static ReportItem box(QRectF rect);
    static ReportItem subReportAt(std::shared_ptr<SubReport> report, QRectF rect);
};

// How one band comes out for the current row: the format callback may hide the band or its
// items, move items sideways, replace their text, pattern or column and break the page before
// it.
struct ItemFormat {
    bool visible = true;
    std::optional<double> left;
    std::optional<QString> text;
    std::optional<QString> pattern;
    std::optional<QString> column; // a field bound to another column
};
struct BandFormat {
    bool visible = true;
    bool newPageBefore = false;
    std::vector<ItemFormat> items; // one per item of the band, in the band's order

    // The format of the item with that name; null when the band has none.
    ItemFormat *item(const std::vector<ReportItem> &bandItems, const QString &name);
};

struct Band {
    double height = 0.0;
    std::vector<ReportItem> items;
    bool visible = true;
    bool newPageBefore = false;
    bool newPageAfter = false;
    bool tabular = false; // its lines become sheet rows; the detail band always does
    std::function<void(const ItemContext &, const std::vector<ReportItem> &, BandFormat &)>
        onFormat;

    bool isEmpty() const { return items.empty() && height <= 0.0; }
};

struct ReportGroup {
    QString column; // the group changes when this column's value changes
    Band header;
    Band footer;
    // The table-of-contents text of each group, or null for none.
    std::function<QString(const RowView &)> tocText;
};

// A report described as data: laid out into pages by ReportLayout, drawn by the renderers.
struct ReportDefinition {
    QString title;
    PageSetup page;
    std::vector<ReportFont> fonts{ReportFont{}}; // index 0 is the default
    Band reportHeader;
    Band pageHeader;
    std::vector<ReportGroup> groups; // outermost first
    Band detail;
    Band pageFooter;
    Band reportFooter;
    // Captions written above the rows of a spreadsheet, by sheet column; the pages do not show
    // them (their captions stand in the page header).
    QStringList sheetCaptions;
    // Whether the lines of tabular bands keep their typed cells for a spreadsheet; a report
    // that only goes to pages leaves them out (a year's journal book holds a million).
    bool sheetRows = true;

    // Group sums on headers and report totals on the report header need the rows read first.
    bool needsFirstPass() const;
};

// The item named, in the given column of a spreadsheet, in the font of that index.
ReportItem inSheetColumn(ReportItem item, const QString &name, int column, int font = 0);

// "3 / 12", centred in the band between left and left + width.
Band pageNumberFooter(double left, double width);
