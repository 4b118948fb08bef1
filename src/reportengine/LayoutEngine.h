#pragma once

// The layout's working parts, shared by the files that make it up: the pass over the rows and
// their sums (LayoutEngine.cpp), the evaluation of bands and items (BandEvaluation.cpp) and the
// pages (Pagination.cpp). Only ReportLayout.cpp and those files include it.

#include "data/Money.h"
#include "data/PatternFormatter.h"
#include "reportengine/ReportLayout.h"
#include "reportengine/TextMeasure.h"

#include <QHash>

#include <vector>

namespace layout {

using namespace Qt::StringLiterals;

constexpr double Epsilon = 0.01;
constexpr qint64 ProgressEveryRows = 500;

// A band laid out with its top at y = 0, or a block of a sub-report.
struct Placed {
    double height = 0.0;
    TextRuns texts;
    std::vector<LineShape> lines;
    std::vector<BoxShape> boxes;
    std::vector<SheetRow> rows;
    std::vector<TocEntry> toc;
    std::vector<std::pair<size_t, const ReportItem *>> late; // text index, item

    void append(Placed &&other, double dx, double dy)
    {
        for (auto &[index, item] : other.late)
            late.emplace_back(index + texts.size(), item);
        texts.take(std::move(other.texts), dx, dy);
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

inline bool isValueItem(const ReportItem &item)
{
    return item.kind == ReportItem::Kind::Label || item.kind == ReportItem::Kind::Field ||
           item.kind == ReportItem::Kind::Computed;
}

inline bool isWholeNumber(const QVariant &value)
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

inline void addTo(QVariant &sum, const QVariant &value)
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

} // namespace layout
