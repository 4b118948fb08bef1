#include "reports/ReportSettings.h"

using namespace Qt::StringLiterals;

void ReportSettings::resetBalanceOptions()
{
    hideMarked = false;
    zeroBalances = false;
    closingEntries = false;
    fixedColumns = false;
    showCodes = false;
}

void ReportSettings::setFilter(FilterLevel level, const std::array<int, 3> &positions,
                               const std::array<qint64, 3> &ids)
{
    filterLevel = level;
    filterIndex = positions;
    QList<qint64> chosen;
    // A list is usable only while the one before it has a choice, so the choices are leading.
    for (std::size_t list = 0; list < positions.size() && positions[list] > 0; ++list)
        chosen.append(ids[list]);
    subAccountIds.clear();
    accountIds.clear();
    (level == FilterLevel::Sottoconto ? subAccountIds : accountIds) = chosen;
}

QString inPlaceholders(qsizetype count)
{
    if (count <= 0)
        return {};
    QStringList marks(count, u"?"_s);
    return u" IN ("_s + marks.join(u", "_s) + u')';
}

BoundSql accountCardsStatement(const ReportSettings &settings)
{
    BoundSql statement;
    statement.sql = u"SELECT sDescrizione AS Conto, progressivo AS Prog, data AS Data, dare AS "
                    u"Dare, avere AS Avere, saldo, contropartita AS Contropartita, descrizione AS "
                    u"Descrizione, conto AS IdSottoconto, cPrefisso AS CodiceConto\nFROM schede "
                    u"WHERE (schede.data BETWEEN ? AND ?)"_s;
    statement.values = {settings.dateFrom.toString(Qt::ISODate),
                        settings.dateTo.toString(Qt::ISODate)};
    const bool bySubAccount = !settings.subAccountIds.isEmpty();
    const QList<qint64> &ids = bySubAccount ? settings.subAccountIds : settings.accountIds;
    if (!ids.isEmpty()) {
        statement.sql += (bySubAccount ? u" AND (schede.conto"_s : u" AND (schede.cId"_s) +
                         inPlaceholders(ids.size()) + u')';
        for (qint64 id : ids)
            statement.values.append(id);
    }
    // A card is one sub-account: two of the same name stay apart and each keeps its balance.
    // The view's own columns are named, since "Conto" is also a result column here.
    statement.sql += u" ORDER BY italiano(schede.sDescrizione), schede.conto, schede.data, "
                     u"schede.progressivo NULLS FIRST, schede.rmId, schede.riga"_s;
    return statement;
}
