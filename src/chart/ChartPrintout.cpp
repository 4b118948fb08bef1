#include "chart/ChartPrintout.h"

#include "data/FiscalEnvironment.h"
#include "data/PatternFormatter.h"

using namespace Qt::StringLiterals;

namespace {

// Fonts of the printout, by index.
enum Font { Body, Title, NatureHeading, GroupLine, LedgerLine, AccountLine };

constexpr double Margin = 28.0;
constexpr double Indent = 16.0;
constexpr double LedgerCodeWidth = 26.0;
constexpr double AccountCodeWidth = 38.0;
constexpr double CodeGap = 4.0;

// Sheet columns of the spreadsheet: codes, then every description.
constexpr int CodeColumn = 0;
constexpr int DescriptionColumn = 1;

// The query's nature order puts the memorandum ledgers (nature 0) after the revenues.
constexpr int MemorandumOrder = 5;

constexpr Qt::Alignment RightAligned = Qt::AlignRight | Qt::AlignVCenter;

double bodyWidth()
{
    return PageSetup{}.sizePoints().width() - 2 * Margin;
}

// How far right a level starts: group 0, ledger 1, account 2, sub-account 3. The layout aligned
// on the left keeps ledgers, accounts and sub-accounts on the margin.
double leftOf(ChartLayout layout, int depth)
{
    return Margin + (layout == ChartLayout::Indented ? Indent * depth : 0.0);
}

ReportItem inSheetColumn(ReportItem item, int column, int font)
{
    item.sheetColumn = column;
    item.font = font;
    return item;
}

bool isShown(const ChartPrintoutOptions &options, ChartPrintoutOptions::Level level)
{
    return options.levels[std::size_t(level)];
}

Band pageHeader(const ChartPrintoutOptions &options)
{
    const double width = bodyWidth();
    Band band;
    band.height = 30;
    band.items = {
        ReportItem::label(u" PIANO DEI CONTI"_s, QRectF(Margin, 0, 200, 20), Title),
        ReportItem::label(options.organisation, QRectF(Margin + 210, 2, width - 210, 16),
                          NatureHeading, RightAligned),
        ReportItem::rule(Margin, 24, Margin + width),
    };
    band.items[1].name = u"lblAna01"_s;
    return band;
}

Band pageFooter()
{
    ReportItem pages = ReportItem::computed(
        [](const ItemContext &context) {
            return QVariant(
                u"Pagina %1 di %2"_s.arg(context.pageNumber()).arg(context.pageCount()));
        },
        QRectF(Margin, 4, bodyWidth(), 12), Qt::AlignHCenter | Qt::AlignVCenter);
    pages.needsPageCount = true;
    Band band;
    band.height = 16;
    band.items = {pages};
    return band;
}

QString textOf(const RowView &row, const QString &column)
{
    return row.value(column).toString();
}

Band natureHeader(const ChartPrintoutOptions &options)
{
    const double width = bodyWidth();
    Band band;
    band.height = 26;
    band.tabular = true;
    band.items = {
        inSheetColumn(ReportItem::computed(
                          [headings = options.headings](const ItemContext &context) {
                              const qint64 order = context.row()->value(u"tipo"_s).toLongLong();
                              return QVariant(order > 0 && order < qint64(headings.size())
                                                  ? headings[std::size_t(order)]
                                                  : QString());
                          },
                          QRectF(Margin, 8, width, 14)),
                      DescriptionColumn, NatureHeading),
        ReportItem::rule(Margin, 23, Margin + width),
    };
    band.items[0].name = u"fldNatura"_s;
    return band;
}

Band groupHeader(const ChartPrintoutOptions &options)
{
    Band band;
    band.height = 16;
    band.tabular = true;
    band.items = {
        inSheetColumn(ReportItem::field(u"gruppo"_s, QRectF(Margin, 3, bodyWidth(), 12)),
                      DescriptionColumn, GroupLine),
    };
    band.visible = isShown(options, ChartPrintoutOptions::Gruppo);
    band.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &,
                       BandFormat &format) {
        format.visible = format.visible && !textOf(*context.row(), u"gruppo"_s).isEmpty();
    };
    return band;
}

// A ledger or account line: the code, a space, the description.
std::vector<ReportItem> codedLine(const QString &code, const QString &description, double left,
                                  double codeWidth, double top, double height, int font)
{
    const double descriptionLeft = left + codeWidth + CodeGap;
    return {
        inSheetColumn(ReportItem::field(code, QRectF(left, top, codeWidth, height)), CodeColumn,
                      font),
        inSheetColumn(
            ReportItem::field(description, QRectF(descriptionLeft, top,
                                                  Margin + bodyWidth() - descriptionLeft, height)),
            DescriptionColumn, font),
    };
}

Band ledgerHeader(const ChartPrintoutOptions &options)
{
    Band band;
    band.height = 15;
    band.tabular = true;
    band.items = codedLine(u"mPrefisso"_s, u"mDescrizione"_s, leftOf(options.layout, 1),
                           LedgerCodeWidth, 2, 12, LedgerLine);
    band.visible = isShown(options, ChartPrintoutOptions::Mastro);
    return band;
}

Band accountHeader(const ChartPrintoutOptions &options)
{
    Band band;
    band.height = 12;
    band.tabular = true;
    band.items = codedLine(u"cPrefisso"_s, u"cDescrizione"_s, leftOf(options.layout, 2),
                           AccountCodeWidth, 1, 11, AccountLine);
    band.visible = isShown(options, ChartPrintoutOptions::Conto);
    // A ledger without accounts has no account line.
    band.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &,
                       BandFormat &format) {
        format.visible = format.visible && !context.row()->value(u"cId"_s).isNull();
    };
    return band;
}

Band subAccountLine(const ChartPrintoutOptions &options)
{
    const double left = leftOf(options.layout, 3);
    Band band;
    band.height = 11;
    band.items = {
        inSheetColumn(ReportItem::field(u"sDescrizione"_s,
                                        QRectF(left, 0.5, Margin + bodyWidth() - left, 10)),
                      DescriptionColumn, Body),
    };
    band.visible = isShown(options, ChartPrintoutOptions::Sottoconto);
    band.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &,
                       BandFormat &format) {
        format.visible = format.visible && !textOf(*context.row(), u"sDescrizione"_s).isEmpty();
    };
    return band;
}

ReportGroup groupOn(const QString &column, Band header)
{
    ReportGroup group;
    group.column = column;
    group.header = std::move(header);
    return group;
}

QString headingOf(const QString &section, const QString &nature)
{
    return (section + u" - "_s + nature).toUpper();
}

} // namespace

std::array<QString, 6> natureHeadings(const FiscalEnvironment &environment)
{
    return {QString(),
            headingOf(environment.spDescrizione, environment.attDescrizione),
            headingOf(environment.spDescrizione, environment.pasDescrizione),
            headingOf(environment.ceDescrizione, environment.cosDescrizione),
            headingOf(environment.ceDescrizione, environment.ricDescrizione),
            environment.coDescrizione.toUpper()};
}

ChartPrintoutOptions chartPrintoutOptions(const FiscalEnvironment &environment)
{
    ChartPrintoutOptions options;
    options.organisation = environment.anas01;
    options.headings = natureHeadings(environment);
    return options;
}

ReportDefinition chartPrintoutDefinition(const ChartPrintoutOptions &options)
{
    ReportDefinition definition;
    definition.title = u" Piano dei Conti"_s;
    definition.page.margins = QMarginsF(Margin, Margin, Margin, Margin);
    definition.fonts = {ReportFont{{}, 8.0, false, false}, ReportFont{{}, 14.0, true, false},
                        ReportFont{{}, 10.0, true, false}, ReportFont{{}, 9.0, true, true},
                        ReportFont{{}, 9.0, true, false},  ReportFont{{}, 8.0, true, false}};
    if (!options.exporting) {
        definition.pageHeader = pageHeader(options);
        definition.pageFooter = pageFooter();
    }
    // Ledgers and accounts are told apart by id: two ledgers may share a code.
    definition.groups = {
        groupOn(u"tipo"_s, natureHeader(options)),
        groupOn(u"gruppo"_s, groupHeader(options)),
        groupOn(u"mId"_s, ledgerHeader(options)),
        groupOn(u"cId"_s, accountHeader(options)),
    };
    definition.detail = subAccountLine(options);
    definition.sheetCaptions = {u"Codice"_s, u"Descrizione"_s};
    return definition;
}

std::unique_ptr<RowSource> chartPrintoutRows(const QSqlDatabase &database)
{
    static const QString natureOrder =
        u"CASE WHEN mastri.tipo = 0 THEN %1 ELSE mastri.tipo END"_s.arg(MemorandumOrder);
    static const QString sql =
        u"SELECT mastri.id AS mId, (mastri.tipo + 1) / 2 AS sezione, "_s + natureOrder +
        u" AS tipo, mastri.gruppo, mastri.prefisso AS mPrefisso, "
        u"mastri.descrizione AS mDescrizione, conti.id AS cId, conti.prefisso AS cPrefisso, "
        u"conti.descrizione AS cDescrizione, conti.bilancio, sottoconti.id AS sId, "
        u"sottoconti.descrizione AS sDescrizione"
        u" FROM mastri LEFT JOIN conti ON mastri.id = conti.idMastro"
        u" LEFT JOIN sottoconti ON conti.id = sottoconti.idConto"
        u" ORDER BY "_s +
        natureOrder +
        u", mastri.prefisso, italiano(mastri.descrizione), mastri.id, conti.prefisso,"
        u" italiano(conti.descrizione), italiano(sottoconti.descrizione),"
        u" sottoconti.id"_s;
    return std::make_unique<SqlRowSource>(database, sql, QVariantList{},
                                          std::vector<RowColumn>{
                                              {u"mId"_s, ColumnKind::Integer},
                                              {u"sezione"_s, ColumnKind::Integer},
                                              {u"tipo"_s, ColumnKind::Integer},
                                              {u"gruppo"_s, ColumnKind::Text},
                                              {u"mPrefisso"_s, ColumnKind::Text},
                                              {u"mDescrizione"_s, ColumnKind::Text},
                                              {u"cId"_s, ColumnKind::Integer},
                                              {u"cPrefisso"_s, ColumnKind::Text},
                                              {u"cDescrizione"_s, ColumnKind::Text},
                                              {u"bilancio"_s, ColumnKind::Integer},
                                              {u"sId"_s, ColumnKind::Integer},
                                              {u"sDescrizione"_s, ColumnKind::Text},
                                          });
}

bool layOutChartPrintout(const QSqlDatabase &database, const ChartPrintoutOptions &options,
                         ReportDocument *document, QString *error,
                         const LayoutProgressCallback &progress)
{
    const std::unique_ptr<RowSource> rows = chartPrintoutRows(database);
    return layOutReport(chartPrintoutDefinition(options), *rows, appLocale(), document, error,
                        progress);
}
