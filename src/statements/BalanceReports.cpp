#include "statements/BalanceReports.h"

#include "data/Natures.h"
#include "data/PatternFormatter.h"

using namespace Qt::StringLiterals;

namespace {

// Fonts of the balances, by index.
enum Font { Body, Bold, Heading, Title };

constexpr double Margin = 28.0;
constexpr double ColumnGap = 12.0;
constexpr double AmountWidth = 82.0;
constexpr double LineHeight = 12.0;
constexpr double Indent = 8.0;

constexpr Qt::Alignment RightAligned = Qt::AlignRight | Qt::AlignVCenter;

const QString LinePatternUnsigned = u"#,#.00;#,#.00;0.00"_s;
const QString LinePatternSigned = u"#,#.00;-#,#.00;0.00"_s;
const QString TotalPatternUnsigned = u"#,#.00;#,#.00;0"_s;
const QString TotalPatternSigned = u"#,#.00;-#,#.00;0"_s;
const QString PairPattern = u"#,##0.00 ;-#,##0.00 ;0 "_s;

// What a row of a section prints.
enum RowKind {
    Caption,
    ColumnCaptions,
    GroupLine,
    LedgerLine,
    AccountLine,
    SubAccountLine,
    ResultLine
};

const std::vector<RowColumn> &sectionColumns()
{
    static const std::vector<RowColumn> columns{
        {u"tipo"_s, ColumnKind::Integer},        {u"testo"_s, ColumnKind::Text},
        {u"importo"_s, ColumnKind::Money},       {u"dare"_s, ColumnKind::Money},
        {u"avere"_s, ColumnKind::Money},         {u"formato"_s, ColumnKind::Text},
        {u"nuovaPagina"_s, ColumnKind::Integer},
    };
    return columns;
}

QVariant money(Money value)
{
    return QVariant::fromValue(value);
}

int rowKindOf(BalanceLine::Level level)
{
    switch (level) {
    case BalanceLine::Level::Group:
        return GroupLine;
    case BalanceLine::Level::Ledger:
        return LedgerLine;
    case BalanceLine::Level::Account:
        return AccountLine;
    case BalanceLine::Level::SubAccount:
        break;
    }
    return SubAccountLine;
}

// The rows of one section: its caption (with the section total when totalInHeader), the
// memorandum column captions, then its lines.
std::vector<QVariantList> sectionRows(const BalanceSection &section, const BalanceOptions &options,
                                      bool totalInHeader, bool breakBefore)
{
    const bool memorandum = section.nature == Natures::Memorandum;
    const bool signedAmounts = options.fixedColumns && !memorandum;
    const QString linePattern = signedAmounts ? LinePatternSigned : LinePatternUnsigned;
    const QString totalPattern = signedAmounts ? TotalPatternSigned : TotalPatternUnsigned;
    std::vector<QVariantList> rows;
    rows.reserve(section.lines.size() + 2);
    if (memorandum) {
        rows.push_back({Caption, section.caption, QVariant(), money(section.debitTotal),
                        money(section.creditTotal), totalPattern, int(breakBefore)});
        rows.push_back(
            {ColumnCaptions, QString(), QVariant(), QVariant(), QVariant(), QString(), 0});
    } else {
        rows.push_back({Caption, section.caption, totalInHeader ? money(section.total) : QVariant(),
                        QVariant(), QVariant(), totalPattern, int(breakBefore)});
    }
    for (const BalanceLine &line : section.lines)
        rows.push_back({rowKindOf(line.level), line.text(options.showCodes),
                        memorandum ? QVariant() : money(line.amount),
                        memorandum ? money(line.debit) : QVariant(),
                        memorandum ? money(line.credit) : QVariant(), linePattern, 0});
    return rows;
}

// One line of a section between left and left + width: its text indented by level, and the
// amount or the debit and credit columns.
Band sectionLineBand(double left, double width, bool memorandum)
{
    const double right = left + width;
    const double textWidth = width - (memorandum ? 2 : 1) * (AmountWidth + 4);
    const QRectF debit(right - 2 * AmountWidth - 4, 0, AmountWidth, LineHeight);
    const QRectF credit(right - AmountWidth, 0, AmountWidth, LineHeight);
    Band band;
    band.height = LineHeight + 2;
    band.items = {
        inSheetColumn(ReportItem::field(u"testo"_s, QRectF(left, 0, textWidth, LineHeight + 2)),
                      u"titolo"_s, 0, Heading),
        inSheetColumn(ReportItem::field(u"testo"_s, QRectF(left, 0, textWidth, LineHeight)),
                      u"riga"_s, 0),
        inSheetColumn(ReportItem::field(u"testo"_s, QRectF(left, 0, textWidth, LineHeight)),
                      u"rigaTotale"_s, 0, Bold),
        inSheetColumn(ReportItem::field(u"importo"_s, credit, {}, RightAligned), u"importo"_s, 1),
        inSheetColumn(ReportItem::field(u"dare"_s, debit, {}, RightAligned), u"dare"_s, 1),
        inSheetColumn(ReportItem::field(u"avere"_s, credit, {}, RightAligned), u"avere"_s, 2),
        inSheetColumn(ReportItem::label(u"DARE "_s, debit, Bold, RightAligned), u"colDare"_s, 1,
                      Bold),
        inSheetColumn(ReportItem::label(u"AVERE "_s, credit, Bold, RightAligned), u"colAvere"_s, 2,
                      Bold),
        ReportItem::rule(left, LineHeight + 1.5, right),
    };
    band.onFormat = [left](const ItemContext &context, const std::vector<ReportItem> &items,
                           BandFormat &format) {
        const RowView *row = context.row();
        const int kind = row->value(u"tipo"_s).toInt();
        const QString pattern = row->value(u"formato"_s).toString();
        format.newPageBefore = row->value(u"nuovaPagina"_s).toInt() != 0;
        format.item(items, u"titolo"_s)->visible = kind == Caption;
        ItemFormat *plain = format.item(items, u"riga"_s);
        ItemFormat *bold = format.item(items, u"rigaTotale"_s);
        plain->visible = kind == SubAccountLine || kind == AccountLine;
        bold->visible = kind == GroupLine || kind == LedgerLine || kind == ResultLine;
        plain->left = bold->left =
            left + (kind == ResultLine ? 0.0 : Indent * std::max(0, kind - GroupLine));
        for (const QString &name : {u"importo"_s, u"dare"_s, u"avere"_s}) {
            ItemFormat *amount = format.item(items, name);
            amount->visible = row->value(name).isValid();
            amount->pattern = pattern;
        }
        format.item(items, u"colDare"_s)->visible = kind == ColumnCaptions;
        format.item(items, u"colAvere"_s)->visible = kind == ColumnCaptions;
        format.items.back().visible = kind == Caption;
    };
    return band;
}

QString periodLine(const BalanceOptions &options)
{
    const PatternFormatter formatter;
    return u"Dal "_s + formatter.format(options.dateFrom, u"dd/mm/yyyy") + u" al "_s +
           formatter.format(options.dateTo, u"dd/mm/yyyy");
}

Band balancePageHeader(const Balance &balance, bool titleFirst, double width)
{
    const double right = Margin + width;
    const QRectF titleRect =
        titleFirst ? QRectF(Margin, 0, 160, 20) : QRectF(right - 160, 0, 160, 20);
    const QRectF nameRect =
        titleFirst ? QRectF(Margin + 170, 2, width - 170, 16) : QRectF(Margin, 2, width - 170, 16);
    Band band;
    band.height = 40;
    band.items = {
        ReportItem::label(u"BILANCIO"_s, titleRect, Title,
                          titleFirst ? Qt::AlignLeft | Qt::AlignVCenter : RightAligned),
        ReportItem::label(balance.captions.organisation, nameRect, Heading,
                          titleFirst ? RightAligned : Qt::AlignLeft | Qt::AlignVCenter),
        ReportItem::label(periodLine(balance.options), QRectF(Margin, 22, width, 12), Body,
                          titleFirst ? RightAligned : Qt::AlignLeft | Qt::AlignVCenter),
        ReportItem::rule(Margin, 36, right),
    };
    return band;
}

// The line that tells of balance-sheet figures brought forward from a year not yet closed.
Band broughtForwardNotice(const Balance &balance, double width)
{
    Band band;
    if (!balance.previousYearOpen)
        return band;
    band.height = 16;
    band.items = {ReportItem::label(previousYearOpenNotice(), QRectF(Margin, 0, width, 12), Body,
                                    Qt::AlignLeft | Qt::AlignVCenter)};
    return band;
}

ReportDefinition balancePage()
{
    ReportDefinition definition;
    definition.title = u"Bilancio"_s;
    definition.fonts = balanceFonts();
    definition.page.margins = QMarginsF(Margin, Margin, Margin, Margin);
    definition.sheetCaptions = {u"Descrizione"_s, u"Importo / Dare"_s, u"Avere"_s};
    return definition;
}

std::shared_ptr<SubReport> sectionSubReport(const BalanceSection &section,
                                            const BalanceOptions &options, double width)
{
    auto definition = std::make_shared<ReportDefinition>(balancePage());
    definition->detail = sectionLineBand(0.0, width, section.nature == Natures::Memorandum);
    auto rows = std::make_shared<const std::vector<QVariantList>>(
        sectionRows(section, options, false, false));
    auto report = std::make_shared<SubReport>();
    report->definition = definition;
    report->rows = [rows] { return std::make_unique<MemoryRowSource>(sectionColumns(), *rows); };
    return report;
}

// Parts of the opposed balance, one row each.
enum Part { AssetsAndLiabilities = 1, CostsAndRevenues = 2, MemorandumPart = 3 };

const std::vector<RowColumn> &partColumns()
{
    static const std::vector<RowColumn> columns{
        {u"parte"_s, ColumnKind::Integer},       {u"titolo"_s, ColumnKind::Text},
        {u"totSx"_s, ColumnKind::Money},         {u"totDx"_s, ColumnKind::Money},
        {u"risSx"_s, ColumnKind::Money},         {u"risDx"_s, ColumnKind::Money},
        {u"capSx"_s, ColumnKind::Text},          {u"capDx"_s, ColumnKind::Text},
        {u"nuovaPagina"_s, ColumnKind::Integer},
    };
    return columns;
}

QVariant optionalMoney(const std::optional<Money> &value)
{
    return value ? money(*value) : QVariant();
}

// A profit prints under the liabilities and under the costs; a loss under the assets and under
// the revenues.
QVariantList pairRow(Part part, const QString &title, const PairFooter &footer,
                     const QString &leftCaption, const QString &rightCaption, bool breakBefore)
{
    return {part,
            title,
            money(footer.leftTotal),
            money(footer.rightTotal),
            optionalMoney(footer.leftResult),
            optionalMoney(footer.rightResult),
            footer.leftResult ? leftCaption : QString(),
            footer.rightResult ? rightCaption : QString(),
            int(breakBefore)};
}

Band pairFooterBand(double columnWidth)
{
    const double rightColumn = Margin + columnWidth + ColumnGap;
    auto amountAt = [](double left) {
        return QRectF(left - AmountWidth, 0, AmountWidth, LineHeight);
    };
    auto at = [](QRectF rect, double y) { return rect.translated(0, y); };
    const QRectF leftAmount = amountAt(Margin + columnWidth);
    const QRectF rightAmount = amountAt(rightColumn + columnWidth);
    auto named = [](ReportItem item, const QString &name, int column) {
        return inSheetColumn(std::move(item), name, column, Bold);
    };
    Band band;
    band.height = 34;
    band.tabular = true;
    band.items = {
        ReportItem::rule(Margin, 2, Margin + 2 * columnWidth + ColumnGap),
        named(ReportItem::label(u"Totale"_s, QRectF(Margin, 4, 100, LineHeight), Bold), u"l1"_s, 0),
        named(ReportItem::field(u"totSx"_s, at(leftAmount, 4), PairPattern, RightAligned),
              u"txtSx"_s, 1),
        named(ReportItem::label(u"Totale"_s, QRectF(rightColumn, 4, 100, LineHeight), Bold),
              u"l2"_s, 2),
        named(ReportItem::field(u"totDx"_s, at(rightAmount, 4), PairPattern, RightAligned),
              u"txtDx"_s, 3),
        // In a spreadsheet the results take cells of their own, right of the totals.
        named(ReportItem::field(u"capSx"_s, QRectF(Margin, 18, 160, LineHeight)), u"capSx"_s, 4),
        named(ReportItem::field(u"risSx"_s, at(leftAmount, 18), PairPattern, RightAligned),
              u"risSx"_s, 5),
        named(ReportItem::field(u"capDx"_s, QRectF(rightColumn, 18, 160, LineHeight)), u"capDx"_s,
              6),
        named(ReportItem::field(u"risDx"_s, at(rightAmount, 18), PairPattern, RightAligned),
              u"risDx"_s, 7),
    };
    band.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &items,
                       BandFormat &format) {
        const RowView *row = context.row();
        format.visible = row->value(u"parte"_s).toInt() != MemorandumPart;
        for (const QString &name : {u"risSx"_s, u"capSx"_s, u"risDx"_s, u"capDx"_s})
            format.item(items, name)->visible = !row->value(name).isNull();
    };
    return band;
}

} // namespace

std::vector<ReportFont> balanceFonts()
{
    return {ReportFont{{}, 8.0, false, false}, ReportFont{{}, 8.0, true, false},
            ReportFont{{}, 10.0, true, false}, ReportFont{{}, 14.0, true, false}};
}

ReportDefinition sequentialBalanceDefinition(const Balance &balance, bool exporting)
{
    ReportDefinition definition = balancePage();
    const double width = definition.page.bodyWidth();
    if (!exporting)
        definition.pageHeader = balancePageHeader(balance, true, width);
    definition.reportHeader = broughtForwardNotice(balance, width);
    definition.pageFooter = pageNumberFooter(Margin, width);
    definition.detail = sectionLineBand(Margin, width, false);
    return definition;
}

ReportDefinition opposedBalanceDefinition(const Balance &balance)
{
    ReportDefinition definition = balancePage();
    const double width = definition.page.bodyWidth();
    const double columnWidth = (width - ColumnGap) / 2;
    definition.pageHeader = balancePageHeader(balance, false, width);
    definition.reportHeader = broughtForwardNotice(balance, width);
    definition.pageFooter = pageNumberFooter(Margin, width);

    const BalanceOptions &options = balance.options;
    Band body;
    body.height = 20;
    body.items = {
        inSheetColumn(ReportItem::field(u"titolo"_s, QRectF(Margin, 0, width, 16)), u"titolo"_s, 0,
                      Heading),
    };
    auto column = [&](int nature, double left, double columnWidth, const QString &name) {
        ReportItem item =
            ReportItem::subReportAt(sectionSubReport(balance.section(nature), options, columnWidth),
                                    QRectF(left, 20, columnWidth, 0));
        item.name = name;
        return item;
    };
    const double right = Margin + columnWidth + ColumnGap;
    body.items.push_back(column(Natures::Assets, Margin, columnWidth, u"att"_s));
    body.items.push_back(column(Natures::Liabilities, right, columnWidth, u"pas"_s));
    body.items.push_back(column(Natures::Costs, Margin, columnWidth, u"cos"_s));
    body.items.push_back(column(Natures::Revenues, right, columnWidth, u"ric"_s));
    if (balance.memorandum) {
        ReportItem memorandum = ReportItem::subReportAt(
            sectionSubReport(*balance.memorandum, options, width), QRectF(Margin, 0, width, 0));
        memorandum.name = u"ord"_s;
        body.items.push_back(memorandum);
    }
    body.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &items,
                       BandFormat &format) {
        const RowView *row = context.row();
        const int part = row->value(u"parte"_s).toInt();
        format.newPageBefore = row->value(u"nuovaPagina"_s).toInt() != 0;
        for (const QString &name : {u"att"_s, u"pas"_s})
            format.item(items, name)->visible = part == AssetsAndLiabilities;
        for (const QString &name : {u"cos"_s, u"ric"_s})
            format.item(items, name)->visible = part == CostsAndRevenues;
        if (ItemFormat *memorandum = format.item(items, u"ord"_s))
            memorandum->visible = part == MemorandumPart;
        format.item(items, u"titolo"_s)->visible = part != MemorandumPart;
    };
    definition.detail = body;
    ReportGroup pair;
    pair.column = u"parte"_s;
    pair.footer = pairFooterBand(columnWidth);
    definition.groups.push_back(pair);
    return definition;
}

namespace {

std::vector<QVariantList> sequentialRows(const Balance &balance)
{
    std::vector<QVariantList> rows;
    auto append = [&](const BalanceSection &section, bool breakBefore) {
        std::vector<QVariantList> sectionPart =
            sectionRows(section, balance.options, true, breakBefore);
        std::move(sectionPart.begin(), sectionPart.end(), std::back_inserter(rows));
    };
    // The result closes the section where the opposed balance prints it: a profit under the
    // liabilities and the costs, a loss under the assets and the revenues.
    const PairFooter sheet = balance.assetsAndLiabilities();
    const PairFooter income = balance.costsAndRevenues();
    const BalanceCaptions &captions = balance.captions;
    const std::array<std::pair<std::optional<Money>, QString>, 4> results{
        std::pair{sheet.leftResult, captions.loss}, std::pair{sheet.rightResult, captions.profit},
        std::pair{income.leftResult, captions.profit},
        std::pair{income.rightResult, captions.loss}};
    for (size_t i = 0; i < balance.sections.size(); ++i) {
        const BalanceSection &section = balance.sections[i];
        append(section, section.nature != Natures::Assets);
        if (const auto &[result, caption] = results[i]; result)
            rows.push_back({ResultLine, caption, money(*result), QVariant(), QVariant(),
                            LinePatternUnsigned, 0});
    }
    if (balance.memorandum)
        append(*balance.memorandum, true);
    return rows;
}

std::vector<QVariantList> opposedRows(const Balance &balance)
{
    const BalanceCaptions &captions = balance.captions;
    std::vector<QVariantList> rows{
        pairRow(AssetsAndLiabilities, captions.balanceSheet, balance.assetsAndLiabilities(),
                captions.loss, captions.profit, false),
        pairRow(CostsAndRevenues, captions.incomeStatement, balance.costsAndRevenues(),
                captions.profit, captions.loss, true),
    };
    if (balance.memorandum)
        rows.push_back(pairRow(MemorandumPart, QString(), PairFooter{}, {}, {}, true));
    return rows;
}

} // namespace

bool layOutBalance(const Balance &balance, BalanceKind kind, bool exporting,
                   ReportDocument *document, QString *error, const LayoutProgressCallback &progress)
{
    if (kind == BalanceKind::Sequential) {
        MemoryRowSource rows(sectionColumns(), sequentialRows(balance));
        return layOutReport(sequentialBalanceDefinition(balance, exporting), rows, appLocale(),
                            document, error, progress);
    }
    MemoryRowSource rows(partColumns(), opposedRows(balance));
    return layOutReport(opposedBalanceDefinition(balance), rows, appLocale(), document, error,
                        progress);
}

bool layOutBalance(const QSqlDatabase &database, BalanceKind kind, const BalanceOptions &options,
                   const BalanceCaptions &captions, bool exporting, ReportDocument *document,
                   QString *error, const LayoutProgressCallback &progress)
{
    const std::optional<Balance> balance = computeBalance(database, options, captions, error);
    return balance && layOutBalance(*balance, kind, exporting, document, error, progress);
}
