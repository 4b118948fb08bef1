#include "data/Balances.h"

#include "data/Database.h"
#include "data/Natures.h"
#include "data/SqlText.h"

#include <QSqlQuery>

#include <unordered_map>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// One pass over the period's rows: rows are summed per pair of sides, which are far fewer than
// the rows, and each pair's total then goes to its debit and its credit sub-account.
const QString SideTotalsSql = uR"(
SELECT rd.contodare, rd.contoavere, SUM(rd.importo)
FROM regmain rm JOIN regdet rd ON rd.idRegMain = rm.id
WHERE rm.data BETWEEN ? AND ? AND rm.tipo BETWEEN ? AND ?
GROUP BY rd.contodare, rd.contoavere
)"_s;

const QString SubAccountsSql = uR"(
SELECT so.id, so.descrizione, c.id, c.prefisso, c.descrizione,
       m.id, m.prefisso, m.descrizione, m.gruppo, m.tipo, c.bilancio
FROM sottoconti so
JOIN conti c ON c.id = so.idConto
JOIN mastri m ON m.id = c.idMastro
ORDER BY m.prefisso, c.prefisso, so.id
)"_s;

struct SideTotals {
    qint64 dare = 0;
    qint64 avere = 0;
};

bool readSideTotals(const QSqlDatabase &db, const QDate &from, const QDate &to, EntryFilter filter,
                    std::unordered_map<qint64, SideTotals> *totals, QString *error)
{
    const auto [lowestType, highestType] = entryTypeRange(filter);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!runSql(query, SideTotalsSql,
                {from.toString(Qt::ISODate), to.toString(Qt::ISODate), lowestType, highestType},
                error))
        return false;
    while (query.next()) {
        const qint64 amount = query.value(2).toLongLong();
        if (!query.value(0).isNull())
            (*totals)[query.value(0).toLongLong()].dare += amount;
        if (!query.value(1).isNull())
            (*totals)[query.value(1).toLongLong()].avere += amount;
    }
    if (query.lastError().isValid()) {
        if (error)
            *error = engineText(query);
        return false;
    }
    return true;
}

} // namespace

std::pair<int, int> entryTypeRange(EntryFilter filter)
{
    switch (filter) {
    case EntryFilter::WithoutClosing:
        return {0, 1};
    case EntryFilter::OrdinaryOnly:
        return {0, 0};
    case EntryFilter::OpeningOnly:
        return {1, 1};
    case EntryFilter::ClosingOnly:
        return {-1, -1};
    case EntryFilter::AllEntries:
        break;
    }
    return {-1, 1};
}

Money SubAccountBalance::saldo() const
{
    return Natures::saldo(nature, dare, avere);
}

Money SubAccountBalance::saldo2() const
{
    return Natures::saldo2(nature, dare, avere);
}

bool subAccountBalances(const QSqlDatabase &db, const QDate &from, const QDate &to,
                        EntryFilter filter, std::vector<SubAccountBalance> *balances,
                        QString *error)
{
    balances->clear();
    std::unordered_map<qint64, SideTotals> totals;
    if (!readSideTotals(db, from, to, filter, &totals, error))
        return false;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!runSql(query, SubAccountsSql, {}, error))
        return false;
    while (query.next()) {
        const auto moved = totals.find(query.value(0).toLongLong());
        if (moved == totals.end())
            continue;
        SubAccountBalance b;
        b.subAccountId = moved->first;
        readChartFields(query, &b);
        b.dare = Money::fromUnits(moved->second.dare);
        b.avere = Money::fromUnits(moved->second.avere);
        balances->push_back(std::move(b));
    }
    if (query.lastError().isValid()) {
        if (error)
            *error = engineText(query);
        balances->clear();
        return false;
    }
    return true;
}

void readChartFields(const QSqlQuery &query, SubAccountBalance *line)
{
    line->subAccountDescription = query.value(1).toString();
    line->accountId = query.value(2).toLongLong();
    line->accountCode = query.value(3).toString();
    line->accountDescription = query.value(4).toString();
    line->ledgerId = query.value(5).toLongLong();
    line->ledgerCode = query.value(6).toString();
    line->ledgerDescription = query.value(7).toString();
    line->ledgerGroup = query.value(8).toString();
    line->nature = query.value(9).toInt();
    line->bilancio = query.value(10).toInt() != 0;
}

namespace {

// The rows of the sub-accounts as a table "r" for a FROM clause: their entry (idRegMain) and
// amount (importo), debits positive and credits negative.
QString signedRows(const QList<qint64> &subAccounts)
{
    // Ids are numbers, never user text.
    QStringList ids;
    for (const qint64 id : subAccounts)
        ids << QString::number(id);
    // Two branches, so that each reads its side's index for these sub-accounts only.
    return u"(SELECT idRegMain, importo FROM regdet WHERE contodare IN (%1) UNION ALL "
           u"SELECT idRegMain, -importo FROM regdet WHERE contoavere IN (%1)) r"_s.arg(
               ids.join(u','));
}

} // namespace

std::optional<Money> balanceAt(const QSqlDatabase &database, const QList<qint64> &subAccounts,
                               const QDate &date, bool atEndOfDay, QString *error)
{
    if (subAccounts.isEmpty())
        return Money();
    const QString last = isoDate(atEndOfDay ? date : date.addDays(-1));
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT MAX(data) FROM regmain WHERE tipo = 1 AND data <= ?"_s, {last},
                error) ||
        !query.next())
        return std::nullopt;
    // Null when there is none: then every ordinary entry counts.
    const QVariant opening = query.value(0);
    if (!runSql(
            query,
            u"SELECT COALESCE(SUM(r.importo), 0) FROM "_s + signedRows(subAccounts) +
                u" JOIN regmain m ON m.id = r.idRegMain WHERE m.data <= ? AND "
                u"((m.tipo = 0 AND m.data >= COALESCE(?, '')) OR (m.tipo = 1 AND m.data = ?))"_s,
            {last, opening, opening}, error) ||
        !query.next())
        return std::nullopt;
    return Money::fromUnits(query.value(0).toLongLong());
}
