#include "data/CashAccounts.h"

#include "data/Catalogue.h"
#include "data/SqlText.h"

#include <QFileInfo>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// The account codes the shipped charts flag; none when the charts cannot be read (the flag is
// then set by hand in the account editor).
QStringList flaggedCodes(const QString &chartsPath)
{
    if (!QFileInfo::exists(chartsPath))
        return {};
    const Connection charts(chartsPath, Connection::Mode::ReadOnly);
    QSqlQuery sheets = charts.query();
    QString failure;
    if (!charts.isOpen() || !runSql(sheets, u"SELECT foglio FROM lista"_s, {}, &failure))
        return {};
    QSet<QString> codes;
    while (sheets.next()) {
        const QString sheet = sheets.value(0).toString();
        QSqlQuery accounts = charts.query();
        // The sheet's name is checked to be a plain table name before it is put in the text.
        if (!isPlainTableName(sheet) ||
            !runSql(accounts, u"SELECT DISTINCT cCodice FROM "_s + sheet + u" WHERE cLiq = 'x'"_s,
                    {}, &failure))
            continue;
        while (accounts.next())
            codes.insert(accounts.value(0).toString());
    }
    return codes.values();
}

} // namespace

bool ensureCashFlag(const Connection &connection, const QString &chartsPath, QString *error)
{
    const QStringList columns = tableColumns(connection.database(), u"conti"_s, error);
    if (!error->isEmpty())
        return false;
    if (columns.contains(u"liquidita"_s))
        return true;
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"ALTER TABLE conti ADD COLUMN liquidita INTEGER NOT NULL DEFAULT 0 "
                u"CHECK (liquidita IN (0, 1))"_s,
                {}, error))
        return false;
    for (const QString &code : flaggedCodes(chartsPath)) {
        if (!runSql(query, u"UPDATE conti SET liquidita = 1 WHERE prefisso = ?"_s, {code}, error))
            return false;
    }
    return true;
}
