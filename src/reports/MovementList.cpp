#include "reports/MovementList.h"

#include "data/PatternFormatter.h"
#include "data/SqlText.h"
#include "reports/ReportParts.h"

using namespace Qt::StringLiterals;

namespace {

constexpr double Left = 28.0;
constexpr double LineHeight = 11.0;
constexpr Qt::Alignment RightAligned = Qt::AlignRight | Qt::AlignVCenter;

// The columns of a line, in order: number, date, debit and credit sub-accounts, amount and
// description.
enum Column { Prog, Date, Debit, Credit, Amount, Description };

std::vector<ListColumn> columnsFor(QPageLayout::Orientation orientation)
{
    if (orientation == QPageLayout::Landscape)
        return {{u"Prog.vo"_s, 28, 40, RightAligned},  {u"Data"_s, 74, 50},
                {u"Conto in Dare"_s, 128, 170},        {u"Conto in Avere"_s, 302, 170},
                {u"Importo"_s, 476, 72, RightAligned}, {u"Descrizione"_s, 556, 258}};
    return {{u"Prog.vo"_s, 28, 36, RightAligned},  {u"Data"_s, 68, 46},
            {u"Conto in Dare"_s, 118, 122},        {u"Conto in Avere"_s, 244, 122},
            {u"Importo"_s, 370, 62, RightAligned}, {u"Descrizione"_s, 438, 129}};
}

ReportItem named(ReportItem item, const QString &name)
{
    item.name = name;
    return item;
}

// One line per entry row; in print the number and date only on the entry's first row.
Band detail(const std::vector<ListColumn> &columns, bool spreadsheet)
{
    auto text = [&](const QString &field, Column column) {
        ReportItem item = ReportItem::field(field, columns[column].at(0.5, LineHeight - 1));
        item.canGrow = !spreadsheet;
        return item;
    };
    Band band;
    band.height = LineHeight;
    band.items = {
        named(ReportItem::field(u"progressivo"_s, columns[Prog].at(0.5, LineHeight - 1), {},
                                RightAligned),
              u"prog"_s),
        named(ReportItem::field(u"data"_s, columns[Date].at(0.5, LineHeight - 1),
                                ReportDatePattern.toString()),
              u"data"_s),
        text(u"contoindare"_s, Debit),
        text(u"contoinavere"_s, Credit),
        ReportItem::field(u"importo"_s, columns[Amount].at(0.5, LineHeight - 1),
                          AmountPattern.toString(), RightAligned),
        text(u"descrizione"_s, Description),
    };
    if (!spreadsheet)
        band.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &items,
                           BandFormat &format) {
            const bool first = context.row()->value(u"primaRiga"_s).toLongLong() != 0;
            format.item(items, u"prog"_s)->visible = first;
            format.item(items, u"data"_s)->visible = first;
        };
    return band;
}

// The rule under each entry.
ReportGroup entryGroup(double right)
{
    ReportGroup group;
    group.column = u"idReg"_s;
    group.footer.height = 3;
    group.footer.items = {ReportItem::rule(Left, 1.5, right)};
    return group;
}

} // namespace

BoundSql movementListStatement(const ReportSettings &settings)
{
    BoundSql statement;
    statement.sql =
        u"SELECT regmain.id AS idReg, regmain.progressivo, regmain.data,"
        u" sd.descrizione AS contoindare, sa.descrizione AS contoinavere, regdet.importo,"
        u" regdet.descrizione,"
        u" CASE WHEN regdet.id = (SELECT r.id FROM regdet r WHERE r.idRegMain = regdet.idRegMain"
        u" ORDER BY r.riga, r.id LIMIT 1) THEN 1 ELSE 0 END AS primaRiga"
        u"\nFROM regdet INNER JOIN regmain ON regdet.idRegMain = regmain.id"
        u" LEFT JOIN sottoconti sd ON regdet.contodare = sd.id"
        u" LEFT JOIN sottoconti sa ON regdet.contoavere = sa.id"
        u"\nWHERE (regmain.data BETWEEN ? AND ?)"_s;
    statement.values = {isoDate(settings.dateFrom), isoDate(settings.dateTo)};
    // An entry that touches a chosen account comes with all its rows: the restriction is on the
    // entry, found among the rows of any year.
    const bool bySubAccount = !settings.subAccountIds.isEmpty();
    const QList<qint64> &ids = bySubAccount ? settings.subAccountIds : settings.accountIds;
    if (!ids.isEmpty()) {
        const QString in = inPlaceholders(ids.size());
        const QString chosen =
            bySubAccount ? in : u" IN (SELECT id FROM sottoconti WHERE idConto"_s + in + u')';
        statement.sql +=
            u" AND regdet.idRegMain IN (SELECT idRegMain FROM regdet WHERE contodare"_s + chosen +
            u" OR contoavere"_s + chosen + u')';
        for (int side = 0; side < 2; ++side)
            for (qint64 id : ids)
                statement.values.append(id);
    }
    // Numbers start again each fiscal year: the entry id keeps two entries of one number apart.
    statement.sql +=
        u"\nORDER BY regmain.progressivo NULLS FIRST, regmain.id, regdet.riga, regdet.id"_s;
    return statement;
}

std::unique_ptr<RowSource> movementListRows(const QSqlDatabase &database,
                                            const ReportSettings &settings)
{
    const BoundSql statement = movementListStatement(settings);
    return std::make_unique<SqlRowSource>(database, statement.sql, statement.values,
                                          std::vector<RowColumn>{
                                              {u"idReg"_s, ColumnKind::Integer},
                                              {u"progressivo"_s, ColumnKind::Integer},
                                              {u"data"_s, ColumnKind::Date},
                                              {u"contoindare"_s, ColumnKind::Text},
                                              {u"contoinavere"_s, ColumnKind::Text},
                                              {u"importo"_s, ColumnKind::Money},
                                              {u"descrizione"_s, ColumnKind::Text},
                                              {u"primaRiga"_s, ColumnKind::Integer},
                                          });
}

ReportDefinition movementListDefinition(const ReportSettings &settings,
                                        QPageLayout::Orientation orientation,
                                        const QString &organisation)
{
    const bool spreadsheet = settings.output == ReportOutput::Excel;
    const std::vector<ListColumn> columns = columnsFor(orientation);
    ReportDefinition definition;
    definition.title = u"Movimenti contabili"_s;
    definition.sheetRows = spreadsheet;
    definition.page.orientation = orientation;
    definition.page.margins = QMarginsF(Left, 28, Left, 28);
    definition.fonts = listReportFonts();
    const double right = Left + definition.page.bodyWidth();
    for (const ListColumn &column : columns)
        definition.sheetCaptions << column.caption;
    definition.detail = detail(columns, spreadsheet);
    if (spreadsheet)
        return definition;
    definition.pageHeader =
        listPageHeader(definition.title, organisation,
                       periodText(settings.dateFrom, settings.dateTo), Left, right, columns);
    definition.groups.push_back(entryGroup(right));
    definition.pageFooter = pageOfCountFooter(Left, right - Left);
    return definition;
}

bool layOutMovementList(const QSqlDatabase &database, const ReportSettings &settings,
                        QPageLayout::Orientation orientation, const QString &organisation,
                        ReportDocument *document, QString *error,
                        const LayoutProgressCallback &progress)
{
    const std::unique_ptr<RowSource> rows = movementListRows(database, settings);
    return layOutReport(movementListDefinition(settings, orientation, organisation), *rows,
                        appLocale(), document, error, progress);
}
