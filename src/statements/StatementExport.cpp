#include "statements/StatementExport.h"

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "statements/BalanceSections.h"
#include "statements/CashStatement.h"
#include "statements/CashStatementReport.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

QString statementYearLabel(const BalanceTables::Period &year)
{
    const QString first = QString::number(year.start.year());
    return year.start.year() == year.end.year() ? first
                                                : first + u'/' + QString::number(year.end.year());
}

QString statementYearHeading(const BalanceTables::Period &year)
{
    return u"Esercizio "_s + statementYearLabel(year);
}

StatementYears StatementYears::of(const FiscalEnvironment &environment)
{
    return {{environment.yearStart(), environment.yearEnd()},
            {environment.previousYearStart(), environment.previousYearEnd()}};
}

bool generateStatement(WorkbookFiller &filler, const Archive &archive, const StatementYears &years,
                       const QString &out, const WorkbookFiller::Tick &tick, QString *error,
                       QString *notice)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.isOpen()) {
        if (error)
            *error = connection.errorText();
        return false;
    }
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT valore FROM parametri WHERE chiave = 'ana01'"_s, {}, error))
        return false;
    filler.setHeading({query.next() ? query.value(0).toString().trimmed() : QString(),
                       statementYearHeading(years.current), statementYearHeading(years.previous)});
    BalanceTables tables;
    if (!tables.read(connection.database(), years.current, years.previous, error))
        return false;
    QStringList notices;
    if (tables.previousYearOpen())
        notices << previousYearOpenNotice();
    if (filler.asksForCashFigures()) {
        const std::optional<CashStatement> cash =
            computeCashStatement(connection.database(), years.current, years.previous, error);
        if (!cash)
            return false;
        tables.setCashFigures(Placeholder::Period::Current, cashStatementFigures(cash->current));
        tables.setCashFigures(Placeholder::Period::Previous, cashStatementFigures(cash->previous));
        notices << cashStatementWarnings(*cash, years);
    }
    if (notice)
        *notice = notices.join(u'\n');
    return filler.fillPlaceholders(tables, tick, error) && filler.saveFile(out, error);
}

SaveChoice saveChoiceFor(const QString &templatePath)
{
    const QString extension = QFileInfo(templatePath).suffix().toLower();
    if (extension == u"xltx"_s || extension == u"xlsx"_s)
        return {u"File Excel (*.xlsx)"_s, u"xlsx"_s};
    return {};
}
