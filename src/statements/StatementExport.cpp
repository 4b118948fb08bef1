#include "statements/StatementExport.h"

#include "data/Database.h"
#include "data/cEnvironment.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

StatementYears StatementYears::of(const cEnvironment &environment)
{
    return {{environment.EseDate1(), environment.EseDate2()},
            {environment.EseDate1Prev(), environment.EseDate2Prev()}};
}

bool generateStatement(cExcel &excel, const QString &databasePath, const StatementYears &years,
                       const QString &out, const cExcel::Tick &tick, QString *error)
{
    Connection connection(databasePath, Connection::Mode::ReadOnly);
    if (!connection.isOpen()) {
        if (error)
            *error = connection.errorText();
        return false;
    }
    BalanceTables tables;
    return tables.read(connection.database(), years.current, years.previous, error) &&
           excel.processFile(tables, tick, error) && excel.saveFile(out, error);
}

SaveChoice saveChoiceFor(const QString &templatePath)
{
    const QString extension = QFileInfo(templatePath).suffix().toLower();
    if (extension == u"xltx"_s || extension == u"xlsx"_s)
        return {u"File Excel (*.xlsx)"_s, u"xlsx"_s};
    return {};
}
