#include "statements/CashStatementReport.h"

#include "data/PatternFormatter.h"
#include "data/SqlText.h"
#include "reportengine/ReportLayout.h"
#include "statements/BalanceJson.h"
#include "statements/BalanceReports.h"
#include "statements/CashStatementPlan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QJsonObject bothYears(Money current, Money previous)
{
    return {{u"importo"_s, decimalText(current)}, {u"importoPrecedente"_s, decimalText(previous)}};
}

// What a printed row is.
enum RowKind { Heading, Line, Total };

constexpr double Margin = 28.0;
constexpr double AmountWidth = 82.0;
constexpr double LineHeight = 12.0;
constexpr double Indent = 12.0;
constexpr Qt::Alignment RightAligned = Qt::AlignRight | Qt::AlignVCenter;
const QString AmountPattern = u"#,##0.00;-#,##0.00;0.00"_s;

enum Font { Body, Bold, HeadingFont, Title };

const std::vector<RowColumn> &rowColumns()
{
    static const std::vector<RowColumn> columns{
        {u"tipo"_s, ColumnKind::Integer},
        {u"testo"_s, ColumnKind::Text},
        {u"importo"_s, ColumnKind::Money},
        {u"importoPrecedente"_s, ColumnKind::Money},
    };
    return columns;
}

QVariantList row(RowKind kind, const QString &text, Money current = {}, Money previous = {})
{
    return {int(kind), text, kind == Heading ? QVariant() : QVariant::fromValue(current),
            kind == Heading ? QVariant() : QVariant::fromValue(previous)};
}

std::vector<QVariantList> statementRows(const CashStatement &statement)
{
    std::vector<QVariantList> rows;
    const std::vector<CashStatementRow> &plan = cashStatementRows();
    for (size_t i = 0; i < plan.size(); ++i) {
        const CashStatementRow &line = plan[i];
        const RowKind kind = line.kind == CashStatementRow::Kind::Heading ? Heading
                             : line.kind == CashStatementRow::Kind::Total ? Total
                                                                          : Line;
        rows.push_back(
            row(kind, line.caption, statement.current.rows[i], statement.previous.rows[i]));
    }
    const CashStatementYear &t = statement.current;
    const CashStatementYear &p = statement.previous;
    rows.push_back(row(Heading, u"Verifica"_s));
    rows.push_back(
        row(Line, u"Cassa e banca all'inizio dell'esercizio"_s, t.cashStart, p.cashStart));
    rows.push_back(row(Line, u"Cassa e banca alla fine dell'esercizio"_s, t.cashEnd, p.cashEnd));
    rows.push_back(row(Line, u"Avanzo/disavanzo complessivo"_s, t.surplus(), p.surplus()));
    rows.push_back(row(Line,
                       u"Da classificare (incassi meno pagamenti che nessuna voce accoglie)"_s,
                       t.unclassified, p.unclassified));
    rows.push_back(row(Total,
                       u"Differenza tra la variazione di cassa e banca e l'avanzo/disavanzo "
                       u"complessivo"_s,
                       t.difference(), p.difference()));
    return rows;
}

Band lineBand(double width)
{
    const double right = Margin + width;
    const QRectF current(right - 2 * AmountWidth - 8, 0, AmountWidth, LineHeight);
    const QRectF previous(right - AmountWidth, 0, AmountWidth, LineHeight);
    const QRectF text(Margin, 0, width - 2 * AmountWidth - 16, LineHeight);
    // Headings have no amounts and take the whole width; long captions wrap.
    ReportItem line = ReportItem::field(u"testo"_s, text.adjusted(0, 0, -Indent, 0));
    ReportItem total = ReportItem::field(u"testo"_s, text);
    line.canGrow = total.canGrow = true;
    Band band;
    band.height = LineHeight + 2;
    band.items = {
        inSheetColumn(ReportItem::field(u"testo"_s, QRectF(Margin, 0, width, LineHeight + 3)),
                      u"titolo"_s, 0, HeadingFont),
        inSheetColumn(line, u"riga"_s, 0),
        inSheetColumn(total, u"totale"_s, 0, Bold),
        inSheetColumn(ReportItem::field(u"importo"_s, current, AmountPattern, RightAligned),
                      u"importo"_s, 1),
        inSheetColumn(
            ReportItem::field(u"importoPrecedente"_s, previous, AmountPattern, RightAligned),
            u"importoPrecedente"_s, 2),
    };
    band.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &items,
                       BandFormat &format) {
        const int kind = context.row()->value(u"tipo"_s).toInt();
        format.item(items, u"titolo"_s)->visible = kind == Heading;
        format.item(items, u"riga"_s)->visible = kind == Line;
        format.item(items, u"riga"_s)->left = Margin + Indent;
        format.item(items, u"totale"_s)->visible = kind == Total;
        for (const QString &name : {u"importo"_s, u"importoPrecedente"_s}) {
            ItemFormat *amount = format.item(items, name);
            amount->visible = kind != Heading;
        }
    };
    return band;
}

Band pageHeader(const QString &organisation, const StatementYears &years, double width)
{
    const double right = Margin + width;
    Band band;
    band.height = 52;
    band.items = {
        ReportItem::label(u"RENDICONTO PER CASSA"_s, QRectF(Margin, 0, 260, 20), Title),
        ReportItem::label(organisation, QRectF(Margin + 270, 2, width - 270, 16), HeadingFont,
                          RightAligned),
        ReportItem::rule(Margin, 48, right),
    };
    // "Esercizio" above the year, so that a year across two calendar years fits its column.
    for (const auto &[year, left] : {std::pair(years.current, right - 2 * AmountWidth - 8),
                                     std::pair(years.previous, right - AmountWidth)}) {
        band.items.push_back(ReportItem::label(u"Esercizio"_s, QRectF(left, 22, AmountWidth, 12),
                                               Bold, RightAligned));
        band.items.push_back(ReportItem::label(
            statementYearLabel(year), QRectF(left, 34, AmountWidth, 12), Bold, RightAligned));
    }
    return band;
}

// The warnings above the statement, one line each.
Band warningsBand(const QStringList &warnings, double width)
{
    Band band;
    for (const QString &warning : warnings) {
        ReportItem line = ReportItem::label(warning, QRectF(Margin, band.height, width, LineHeight),
                                            Body, Qt::AlignLeft | Qt::AlignVCenter);
        line.canGrow = true;
        band.items.push_back(line);
        band.height += 2 * LineHeight;
    }
    return band;
}

} // namespace

QStringList cashStatementWarnings(const CashStatement &statement, const StatementYears &years)
{
    QStringList warnings;
    for (const auto &[year, period] : {std::pair(&statement.current, years.current),
                                       std::pair(&statement.previous, years.previous)})
        if (const QString warning = unclassifiedWarning(*year, statementYearLabel(period));
            !warning.isEmpty())
            warnings << warning;
    return warnings;
}

QByteArray cashStatementJson(const CashStatement &statement, const StatementYears &years)
{
    QJsonArray lines;
    const std::vector<CashStatementRow> &plan = cashStatementRows();
    for (size_t i = 0; i < plan.size(); ++i) {
        if (plan[i].kind == CashStatementRow::Kind::Heading)
            continue;
        QJsonObject line = bothYears(statement.current.rows[i], statement.previous.rows[i]);
        line.insert(u"voce"_s, plan[i].id);
        line.insert(u"descrizione"_s, plan[i].caption);
        lines.append(line);
    }
    const CashStatementYear &t = statement.current;
    const CashStatementYear &p = statement.previous;
    const QJsonObject root{
        {u"report"_s, u"rendiconto-cassa"_s},
        {u"dal"_s, isoDate(years.current.start)},
        {u"al"_s, isoDate(years.current.end)},
        {u"righe"_s, lines},
        {u"daClassificare"_s, bothYears(t.unclassified, p.unclassified)},
        {u"cassaInizio"_s, bothYears(t.cashStart, p.cashStart)},
        {u"cassaFine"_s, bothYears(t.cashEnd, p.cashEnd)},
        {u"avanzo"_s, bothYears(t.surplus(), p.surplus())},
        {u"differenza"_s, bothYears(t.difference(), p.difference())},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool layOutCashStatement(const CashStatement &statement, const StatementYears &years,
                         const QString &organisation, bool exporting, ReportDocument *document,
                         QString *error)
{
    ReportDefinition definition;
    definition.title = u"Rendiconto per cassa"_s;
    definition.fonts = balanceFonts();
    definition.page.margins = QMarginsF(Margin, Margin, Margin, Margin);
    definition.sheetCaptions = {u"Voce"_s, statementYearHeading(years.current),
                                statementYearHeading(years.previous)};
    const double width = definition.page.bodyWidth();
    if (!exporting)
        definition.pageHeader = pageHeader(organisation, years, width);
    definition.reportHeader = warningsBand(cashStatementWarnings(statement, years), width);
    definition.pageFooter = pageNumberFooter(Margin, width);
    definition.detail = lineBand(width);
    MemoryRowSource rows(rowColumns(), statementRows(statement));
    return layOutReport(definition, rows, appLocale(), document, error);
}
