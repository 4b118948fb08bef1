#include "reports/JournalBook.h"

#include "data/ClosedYears.h"
#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/JournalEntry.h"
#include "data/PatternFormatter.h"
#include "data/SqlText.h"
#include "reports/ReportParts.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

// Fonts of the book, by index.
enum Font { Body, Title, Heading, Caption };

// Columns across the A4 portrait page, in points.
constexpr double Left = 28.0;
constexpr double Right = 567.0;
const QRectF ProgColumn(28, 0.5, 34, 10);
const QRectF EntryColumn(64, 0.5, 28, 10);
const QRectF DateColumn(95, 0.5, 42, 10);
const QRectF DebitAccountColumn(141, 0.5, 100, 10);
const QRectF CreditAccountColumn(245, 0.5, 100, 10);
const QRectF DebitColumn(349, 0.5, 56, 10);
const QRectF CreditColumn(409, 0.5, 56, 10);
const QRectF DescriptionColumn(469, 0.5, 98, 10);

constexpr Qt::Alignment LeftAligned = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment RightAligned = Qt::AlignRight | Qt::AlignVCenter;

QRectF at(const QRectF &column, double y, double height)
{
    return QRectF(column.x(), y, column.width(), height);
}

ReportItem captioned(const QString &text, const QRectF &rect, Qt::Alignment alignment)
{
    return ReportItem::label(text, rect, Caption, alignment);
}

Band pageHeader(const JournalBookOptions &options)
{
    const OrganisationLines &org = options.organisation;
    Band band;
    band.height = 92;
    band.items = {
        ReportItem::label(u"GIORNALE"_s, QRectF(Left, 0, 150, 20), Title),
        ReportItem::label(u"CONTABILE"_s, QRectF(Left, 20, 150, 20), Title),
        ReportItem::label(u"Ditta:"_s, QRectF(190, 0, 40, 12), Heading),
        ReportItem::label(org.name, QRectF(232, 0, 200, 12), Heading),
        ReportItem::label(org.address, QRectF(232, 12, 200, 12)),
        ReportItem::label(org.townLine, QRectF(232, 24, 200, 12)),
        ReportItem::label(u"Partita IVA:"_s, QRectF(190, 40, 60, 12), Heading),
        ReportItem::label(org.vatNumber, QRectF(252, 40, 140, 12)),
        ReportItem::label(u"Cod.Fiscale:"_s, QRectF(190, 52, 60, 12), Heading),
        ReportItem::label(org.taxCode, QRectF(252, 52, 140, 12)),
        ReportItem::label(u"Foglio nr.:"_s, QRectF(440, 0, 60, 12), Heading),
        ReportItem::computed(
            [first = options.firstSheet](const ItemContext &context) {
                return QVariant(qint64(first) + context.pageNumber() - 1);
            },
            QRectF(500, 0, 67, 12), RightAligned),
        ReportItem::label(u"Pagina nr.:"_s, QRectF(440, 12, 60, 12), Heading),
        ReportItem::computed(
            [first = options.firstPage, label = options.yearLabel](const ItemContext &context) {
                return QVariant(QString::number(first + context.pageNumber() - 1) + u" / "_s +
                                label);
            },
            QRectF(500, 12, 67, 12), RightAligned),
        ReportItem::label(options.final ? QString() : u"Stampa di prova"_s,
                          QRectF(Left, 44, 150, 12), Heading),
        ReportItem::label(periodText(options.dateFrom, options.dateTo), QRectF(400, 40, 167, 12),
                          Body, RightAligned),
        ReportItem::rule(Left, 72, Right),
        captioned(u"Prog.vo"_s, at(ProgColumn, 74, 14), RightAligned),
        captioned(u"N.reg."_s, at(EntryColumn, 74, 14), RightAligned),
        captioned(u"Data"_s, at(DateColumn, 74, 14), LeftAligned),
        captioned(u"Conto in Dare"_s, at(DebitAccountColumn, 74, 14), LeftAligned),
        captioned(u"Conto in Avere"_s, at(CreditAccountColumn, 74, 14), LeftAligned),
        captioned(u"Dare"_s, at(DebitColumn, 74, 14), RightAligned),
        captioned(u"Avere"_s, at(CreditColumn, 74, 14), RightAligned),
        captioned(u"Descrizione"_s, at(DescriptionColumn, 74, 14), LeftAligned),
        ReportItem::rule(Left, 89, Right),
    };
    return band;
}

// The totals a continued book carries from its earlier runs, under the first page's heading.
Band carriedTotals(const JournalBookOptions &options)
{
    Band band;
    if (!options.carries)
        return band;
    auto amount = [](Money value, const QRectF &column) {
        ReportItem item = ReportItem::computed(
            [value](const ItemContext &) { return QVariant::fromValue(value); }, at(column, 1, 12),
            RightAligned);
        item.pattern = AmountPattern.toString();
        item.font = Caption;
        return item;
    };
    band.height = 16;
    band.items = {
        captioned(u"Riporto:"_s, QRectF(190, 1, 150, 12), RightAligned),
        amount(options.carriedDebit, DebitColumn),
        amount(options.carriedCredit, CreditColumn),
        ReportItem::rule(Left, 15, Right),
    };
    return band;
}

Band detail(qint64 firstRow)
{
    auto growing = [](ReportItem item) {
        item.canGrow = true;
        return item;
    };
    Band band;
    band.height = 11;
    band.items = {
        ReportItem::computed(
            [firstRow](const ItemContext &context) {
                return QVariant(firstRow + context.detailNumber() - 1);
            },
            ProgColumn, RightAligned),
        ReportItem::field(u"numero"_s, EntryColumn, {}, RightAligned),
        ReportItem::field(u"data"_s, DateColumn, ReportDatePattern.toString()),
        growing(ReportItem::field(u"ContoinDare"_s, DebitAccountColumn)),
        growing(ReportItem::field(u"ContoinAvere"_s, CreditAccountColumn)),
        ReportItem::field(u"Dare"_s, DebitColumn, AmountPattern.toString(), RightAligned),
        ReportItem::field(u"Avere"_s, CreditColumn, AmountPattern.toString(), RightAligned),
        growing(ReportItem::field(u"descrizione"_s, DescriptionColumn)),
        ReportItem::rule(Left, 11, Right),
    };
    // A firmer rule closes each entry, so one entry's rows read apart from the next one's.
    band.items.back().name = u"fineRegistrazione"_s;
    band.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &items,
                       BandFormat &format) {
        format.item(items, u"fineRegistrazione"_s)->visible =
            context.row()->value(u"ultimaRiga"_s).toInt() != 0;
    };
    return band;
}

Band pageFooter(const JournalBookOptions &options)
{
    Band band;
    band.height = 16;
    ReportItem debit = ReportItem::sum(
        {Summary::Kind::Running, u"Dare"_s, 0, QVariant::fromValue(options.carriedDebit)},
        at(DebitColumn, 3, 12), AmountPattern.toString());
    ReportItem credit = ReportItem::sum(
        {Summary::Kind::Running, u"Avere"_s, 0, QVariant::fromValue(options.carriedCredit)},
        at(CreditColumn, 3, 12), AmountPattern.toString());
    debit.font = credit.font = Caption;
    band.items = {
        ReportItem::rule(Left, 1, Right),
        captioned(u"Totale progressivi:"_s, QRectF(190, 3, 150, 12), RightAligned),
        debit,
        credit,
    };
    return band;
}

} // namespace

QString journalYearLabel(const QDate &yearStart, const QDate &yearEnd)
{
    if (yearStart.year() == yearEnd.year())
        return QString::number(yearStart.year());
    return QString::number(yearStart.year()) + u'-' + QString::number(yearEnd.year());
}

QString periodYearLabel(const QDate &from, const QDate &to, int startMonth)
{
    const FiscalYear first = fiscalYearContaining(from, startMonth);
    const FiscalYear last = fiscalYearContaining(to, startMonth);
    const QString label = journalYearLabel(first.start, first.end);
    return first.start == last.start ? label
                                     : label + u" e "_s + journalYearLabel(last.start, last.end);
}

std::optional<JournalBookOptions> journalBookDefaults(const QSqlDatabase &database,
                                                      const QDate &workingDate, QString *error)
{
    const std::optional<OrganisationLines> organisation = readOrganisation(database, error);
    if (!organisation)
        return std::nullopt;
    const std::optional<FiscalYear> found = archiveYearContaining(database, workingDate, error);
    if (!found)
        return std::nullopt;
    const FiscalYear &year = *found;
    JournalBookOptions options;
    options.dateFrom = year.start;
    options.dateTo = year.end;
    options.yearLabel = journalYearLabel(year.start, year.end);
    options.organisation = *organisation;
    return options;
}

ReportDefinition journalBookDefinition(const JournalBookOptions &options)
{
    ReportDefinition definition;
    definition.title = u"Giornale contabile"_s;
    definition.page.margins = QMarginsF(Left, 28, 595.28 - Right, 28);
    definition.fonts = {ReportFont{{}, 7.0, false, false}, ReportFont{{}, 15.0, true, false},
                        ReportFont{{}, 8.0, true, false}, ReportFont{{}, 7.0, true, false}};
    definition.pageHeader = pageHeader(options);
    definition.reportHeader = carriedTotals(options);
    definition.detail = detail(options.firstRow);
    definition.pageFooter = pageFooter(options);
    definition.sheetRows = options.spreadsheet;
    definition.sheetCaptions = {u"Prog.vo"_s,        u"N.reg."_s, u"Data"_s,  u"Conto in Dare"_s,
                                u"Conto in Avere"_s, u"Dare"_s,   u"Avere"_s, u"Descrizione"_s};
    return definition;
}

std::unique_ptr<RowSource> journalBookRows(const QSqlDatabase &database,
                                           const JournalBookOptions &options)
{
    // With codes, each sub-account is named after its account's code.
    static const QString sql =
        u"SELECT regmain.progressivo AS numero, regmain.data,"
        u" CASE WHEN ? <> 0 THEN cd.prefisso || ' ' ELSE '' END || sd.descrizione AS ContoinDare,"
        u" CASE WHEN ? <> 0 THEN ca.prefisso || ' ' ELSE '' END || sa.descrizione AS ContoinAvere,"
        u" "_s +
        debitAmountSql(u"regdet"_s) + u" AS Dare, "_s + creditAmountSql(u"regdet"_s) +
        u" AS Avere,"
        u" regdet.descrizione, regmain.id AS idReg"
        u" FROM regmain INNER JOIN regdet ON regdet.idRegMain = regmain.id"
        u" LEFT JOIN sottoconti sd ON regdet.contodare = sd.id"
        u" LEFT JOIN conti cd ON sd.idConto = cd.id"
        u" LEFT JOIN sottoconti sa ON regdet.contoavere = sa.id"
        u" LEFT JOIN conti ca ON sa.idConto = ca.id"
        u" WHERE regmain.data BETWEEN ? AND ?"
        u" ORDER BY regmain.data, regmain.progressivo NULLS FIRST, regmain.id, regdet.riga, "
        u"regdet.id"_s;
    // An entry's last line closes it on the page: the next line is of another entry.
    auto rows = std::make_unique<SqlRowSource>(
        database, sql,
        QVariantList{int(options.showCodes), int(options.showCodes), isoDate(options.dateFrom),
                     isoDate(options.dateTo)},
        std::vector<RowColumn>{{u"numero"_s, ColumnKind::Integer},
                               {u"data"_s, ColumnKind::Date},
                               {u"ContoinDare"_s, ColumnKind::Text},
                               {u"ContoinAvere"_s, ColumnKind::Text},
                               {u"Dare"_s, ColumnKind::Money},
                               {u"Avere"_s, ColumnKind::Money},
                               {u"descrizione"_s, ColumnKind::Text},
                               {u"idReg"_s, ColumnKind::Integer}});
    return std::make_unique<RunEndRowSource>(std::move(rows), u"idReg"_s, u"ultimaRiga"_s);
}

bool layOutJournalBook(const QSqlDatabase &database, const JournalBookOptions &options,
                       ReportDocument *document, QString *error,
                       const LayoutProgressCallback &progress)
{
    const ReportDefinition definition = journalBookDefinition(options);
    const std::unique_ptr<RowSource> rows = journalBookRows(database, options);
    return layOutReport(definition, *rows, appLocale(), document, error, progress);
}
