#include "data/Balances.h"

#include "data/Database.h"
#include "data/Natures.h"

#include <QSqlQuery>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

// The range of entry types each filter admits, bound as two values.
std::pair<int, int> entryTypeRange(EntryFilter filter)
{
    switch (filter) {
    case EntryFilter::WithoutClosing:
        return {0, 1};
    case EntryFilter::OrdinaryOnly:
        return {0, 0};
    case EntryFilter::AllEntries:
        break;
    }
    return {-1, 1};
}

// Each side of a row is summed on its own: a row may carry a debit and a credit sub-account.
const QString BalancesSql = uR"(
SELECT so.id, so.descrizione, c.id, c.prefisso, c.descrizione,
       m.id, m.prefisso, m.descrizione, m.gruppo, m.tipo, c.bilancio,
       t.dare, t.avere
FROM (SELECT conto, SUM(dare) AS dare, SUM(avere) AS avere
        FROM (SELECT rd.contodare AS conto, rd.importo AS dare, 0 AS avere
                FROM regmain rm JOIN regdet rd ON rd.idRegMain = rm.id
               WHERE rm.data BETWEEN ? AND ? AND rm.tipo BETWEEN ? AND ?
                 AND rd.contodare IS NOT NULL
              UNION ALL
              SELECT rd.contoavere, 0, rd.importo
                FROM regmain rm JOIN regdet rd ON rd.idRegMain = rm.id
               WHERE rm.data BETWEEN ? AND ? AND rm.tipo BETWEEN ? AND ?
                 AND rd.contoavere IS NOT NULL) sides
       GROUP BY conto) t
JOIN sottoconti so ON so.id = t.conto
JOIN conti c ON c.id = so.idConto
JOIN mastri m ON m.id = c.idMastro
ORDER BY m.prefisso, c.prefisso, so.id
)"_s;

} // namespace

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
    const auto [lowestType, highestType] = entryTypeRange(filter);
    const QString first = from.toString(Qt::ISODate);
    const QString last = to.toString(Qt::ISODate);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!runSql(query, BalancesSql,
                {first, last, lowestType, highestType, first, last, lowestType, highestType},
                error))
        return false;
    while (query.next()) {
        SubAccountBalance b;
        b.subAccountId = query.value(0).toLongLong();
        b.subAccountDescription = query.value(1).toString();
        b.accountId = query.value(2).toLongLong();
        b.accountCode = query.value(3).toString();
        b.accountDescription = query.value(4).toString();
        b.ledgerId = query.value(5).toLongLong();
        b.ledgerCode = query.value(6).toString();
        b.ledgerDescription = query.value(7).toString();
        b.ledgerGroup = query.value(8).toString();
        b.nature = query.value(9).toInt();
        b.bilancio = query.value(10).toInt() != 0;
        b.dare = Money::fromUnits(query.value(11).toLongLong());
        b.avere = Money::fromUnits(query.value(12).toLongLong());
        balances->push_back(std::move(b));
    }
    if (query.lastError().isValid()) {
        if (error)
            *error = engineText(query.lastError());
        balances->clear();
        return false;
    }
    return true;
}
