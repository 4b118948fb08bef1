#include "statements/BalanceTables.h"

#include "data/Balances.h"
#include "statements/BalanceSections.h"

#include <vector>

bool BalanceTables::read(const QSqlDatabase &db, const Period &current, const Period &previous,
                         QString *error)
{
    for (auto &byLevel : m_tables)
        for (Table &t : byLevel)
            t.clear();
    m_previousYearOpen = false;
    if (readPeriod(db, current, Placeholder::Period::Current, error) &&
        readPeriod(db, previous, Placeholder::Period::Previous, error))
        return true;
    for (auto &byLevel : m_tables)
        for (Table &t : byLevel)
            t.clear();
    return false;
}

void BalanceTables::setCashFigures(Placeholder::Period period, QHash<QString, Money> figures)
{
    table(period, Placeholder::Level::CashFigure) = std::move(figures);
}

Money BalanceTables::value(const Placeholder &placeholder) const
{
    return table(placeholder.period, placeholder.level).value(placeholder.code);
}

BalanceTables::Table &BalanceTables::table(Placeholder::Period period, Placeholder::Level level)
{
    return m_tables[int(period)][int(level)];
}

const BalanceTables::Table &BalanceTables::table(Placeholder::Period period,
                                                 Placeholder::Level level) const
{
    return m_tables[int(period)][int(level)];
}

bool BalanceTables::readPeriod(const QSqlDatabase &db, const Period &period,
                               Placeholder::Period which, QString *error)
{
    std::vector<SubAccountBalance> balances;
    if (!subAccountBalances(db, period.start, period.end, EntryFilter::WithoutClosing, &balances,
                            error))
        return false;
    const auto forward = broughtForward(db, period.start, period.end, error);
    if (!forward)
        return false;
    addBalances(&balances, forward->balances);
    m_previousYearOpen = m_previousYearOpen || forward->previousYearOpen;
    Table &accounts = table(which, Placeholder::Level::Account);
    Table &ledgers = table(which, Placeholder::Level::Ledger);
    Table &debits = table(which, Placeholder::Level::AccountDebits);
    Table &credits = table(which, Placeholder::Level::AccountCredits);
    for (const SubAccountBalance &b : balances) {
        const Money saldo2 = b.saldo2();
        accounts[b.accountCode] += saldo2;
        ledgers[b.ledgerCode] += saldo2;
        const Money net = b.dare - b.avere;
        (net.isNegative() ? credits[b.accountCode] : debits[b.accountCode]) += net.abs();
    }
    return true;
}
