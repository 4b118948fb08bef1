#include "reports/AccountCardsReport.h"

#include "data/Database.h"
#include "data/PatternFormatter.h"
#include "reportengine/RowSource.h"
#include "reports/ReportParts.h"

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr double Left = 28.0;
constexpr double LineHeight = 11.0;
constexpr Qt::Alignment RightAligned = Qt::AlignRight | Qt::AlignVCenter;
const QString BalancePattern = u"#,#.00;-#,#.00;0.00"_s;

// The columns of a line; the counter-account only in the landscape layout.
enum Column { Prog, Date, Debit, Credit, Balance, Description, CounterAccount };

std::vector<ListColumn> columnsFor(QPageLayout::Orientation orientation)
{
    if (orientation == QPageLayout::Landscape)
        return {{u"Prog.vo"_s, 28, 40, RightAligned},
                {u"Data"_s, 74, 50},
                {u"Dare"_s, 128, 72, RightAligned},
                {u"Avere"_s, 204, 72, RightAligned},
                {u"Saldo prog."_s, 280, 78, RightAligned},
                {u"Descrizione"_s, 544, 270},
                {u"Contropartita"_s, 366, 172}};
    return {{u"Prog.vo"_s, 28, 36, RightAligned},      {u"Data"_s, 68, 46},
            {u"Dare"_s, 118, 64, RightAligned},        {u"Avere"_s, 186, 64, RightAligned},
            {u"Saldo prog."_s, 254, 70, RightAligned}, {u"Descrizione"_s, 332, 235}};
}

const std::vector<RowColumn> &cardColumns()
{
    static const std::vector<RowColumn> columns{
        {u"Conto"_s, ColumnKind::Text},
        {u"Prog"_s, ColumnKind::Integer},
        {u"Data"_s, ColumnKind::Date},
        {u"Dare"_s, ColumnKind::Money},
        {u"Avere"_s, ColumnKind::Money},
        {u"saldo"_s, ColumnKind::Money},
        {u"Contropartita"_s, ColumnKind::Text},
        {u"Descrizione"_s, ColumnKind::Text},
        {u"IdSottoconto"_s, ColumnKind::Integer},
        {u"CodiceConto"_s, ColumnKind::Text},
    };
    return columns;
}

QString captionOf(const RowView &row, const QSet<QString> &sharedNames)
{
    return accountCardCaption(row.value(u"Conto"_s).toString(),
                              row.value(u"CodiceConto"_s).toString(), sharedNames);
}

ReportItem withFont(ReportItem item, int font)
{
    item.font = font;
    return item;
}

Band detail(const std::vector<ListColumn> &columns, bool spreadsheet,
            const std::shared_ptr<const QSet<QString>> &sharedNames)
{
    const double top = 0.5, height = LineHeight - 1;
    auto text = [&](const QString &field, Column column) {
        ReportItem item = ReportItem::field(field, columns[column].at(top, height));
        item.canGrow = !spreadsheet;
        return item;
    };
    Band band;
    band.height = LineHeight;
    band.items = {
        ReportItem::field(u"Prog"_s, columns[Prog].at(top, height), {}, RightAligned),
        ReportItem::field(u"Data"_s, columns[Date].at(top, height), ReportDatePattern.toString()),
        ReportItem::field(u"Dare"_s, columns[Debit].at(top, height), AmountPattern.toString(),
                          RightAligned),
        ReportItem::field(u"Avere"_s, columns[Credit].at(top, height), AmountPattern.toString(),
                          RightAligned),
        ReportItem::sum({Summary::Kind::GroupRunning, u"saldo"_s, 0},
                        columns[Balance].at(top, height), BalancePattern),
        text(u"Descrizione"_s, Description),
    };
    if (columns.size() > CounterAccount)
        band.items.push_back(text(u"Contropartita"_s, CounterAccount));
    // A spreadsheet row names its card in the first column.
    if (spreadsheet)
        band.items.push_back(ReportItem::computed(
            [sharedNames](const ItemContext &context) {
                return QVariant(captionOf(*context.row(), *sharedNames));
            },
            QRectF(0, top, 150, height)));
    return band;
}

Band cardHeader(const std::vector<ListColumn> &columns, const QString &balancePattern,
                const std::shared_ptr<const QSet<QString>> &sharedNames)
{
    const ListColumn &balance = columns[Balance];
    Band band;
    band.height = 17;
    band.items = {
        withFont(ReportItem::computed(
                     [sharedNames](const ItemContext &context) {
                         return QVariant(captionOf(*context.row(), *sharedNames));
                     },
                     QRectF(Left, 3, balance.left - Left - 6, 12)),
                 ListHeading),
        withFont(ReportItem::sum({Summary::Kind::GroupTotal, u"saldo"_s, 0}, balance.at(3, 12),
                                 balancePattern),
                 ListHeading),
    };
    return band;
}

Band cardFooter(const std::vector<ListColumn> &columns, double right)
{
    auto total = [&](const QString &field, Column column, const QString &pattern) {
        return withFont(ReportItem::sum({Summary::Kind::GroupTotal, field, 0},
                                        columns[column].at(3, 11), pattern),
                        ListCaption);
    };
    Band band;
    band.height = 22;
    band.items = {
        ReportItem::rule(columns[Debit].left, 1.5, columns[Balance].left + columns[Balance].width),
        withFont(ReportItem::label(u"Totale"_s, columns[Date].at(3, 11)), ListCaption),
        total(u"Dare"_s, Debit, AmountPattern.toString()),
        total(u"Avere"_s, Credit, AmountPattern.toString()),
        total(u"saldo"_s, Balance, BalancePattern),
        ReportItem::rule(Left, 17, right),
    };
    return band;
}

// The portrait layout's page number beside the title.
std::vector<ReportItem> pageNumberItems()
{
    return {withFont(ReportItem::label(u"Pagina:"_s, QRectF(Left, 24, 34, 12)), ListCaption),
            ReportItem::computed(
                [](const ItemContext &context) { return QVariant(qint64(context.pageNumber())); },
                QRectF(Left + 38, 24, 40, 12))};
}

} // namespace

std::optional<QSet<QString>> sharedSubAccountNames(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT descrizione FROM sottoconti GROUP BY descrizione HAVING COUNT(*) > 1"_s,
                {}, error))
        return std::nullopt;
    QSet<QString> names;
    while (query.next())
        names.insert(query.value(0).toString());
    return names;
}

QString accountCardCaption(const QString &description, const QString &accountCode,
                           const QSet<QString> &sharedNames)
{
    if (!sharedNames.contains(description))
        return description;
    return description + u" ("_s + accountCode + u')';
}

ReportDefinition accountCardsDefinition(const ReportSettings &settings,
                                        QPageLayout::Orientation orientation,
                                        const QString &organisation, QSet<QString> sharedNames)
{
    const bool spreadsheet = settings.output == ReportOutput::Excel;
    const bool landscape = orientation == QPageLayout::Landscape;
    const std::vector<ListColumn> columns = columnsFor(orientation);
    const auto names = std::make_shared<const QSet<QString>>(std::move(sharedNames));
    ReportDefinition definition;
    definition.title = u"Schede contabili"_s;
    definition.sheetRows = spreadsheet;
    definition.page.orientation = orientation;
    definition.page.margins = QMarginsF(Left, 28, Left, 28);
    definition.fonts = listReportFonts();
    const double right = Left + definition.page.bodyWidth();

    std::vector<ListColumn> inLineOrder = columns;
    std::sort(inLineOrder.begin(), inLineOrder.end(),
              [](const ListColumn &a, const ListColumn &b) { return a.left < b.left; });
    definition.sheetCaptions << u"Conto"_s;
    for (const ListColumn &column : inLineOrder)
        definition.sheetCaptions << column.caption;

    ReportGroup card;
    card.column = u"IdSottoconto"_s;
    card.tocText = [names](const RowView &row) { return captionOf(row, *names); };
    definition.detail = detail(columns, spreadsheet, names);
    if (!spreadsheet) {
        definition.pageHeader = listPageHeader(
            definition.title, organisation, periodText(settings.dateFrom, settings.dateTo), Left,
            right, inLineOrder, landscape ? std::vector<ReportItem>{} : pageNumberItems());
        card.header = cardHeader(
            columns, landscape ? u"#,#.00;-#,#.00;.00"_s : AmountPattern.toString(), names);
        card.footer = cardFooter(columns, right);
        definition.pageFooter = pageOfCountFooter(Left, right - Left);
    }
    definition.groups.push_back(std::move(card));
    return definition;
}

bool layOutAccountCards(const QSqlDatabase &database, const ReportSettings &settings,
                        QPageLayout::Orientation orientation, const QString &organisation,
                        ReportDocument *document, QString *error,
                        const LayoutProgressCallback &progress)
{
    std::optional<QSet<QString>> sharedNames = sharedSubAccountNames(database, error);
    if (!sharedNames)
        return false;
    SqlRowSource rows(database, settings.source.sql, settings.source.values, cardColumns());
    return layOutReport(
        accountCardsDefinition(settings, orientation, organisation, std::move(*sharedNames)), rows,
        appLocale(), document, error, progress);
}
