#include "statements/CashStatement.h"

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/PatternFormatter.h"
#include "data/SqlText.h"
#include "statements/BalanceSections.h"
#include "statements/CashStatementPlan.h"

#include <QHash>
#include <QSqlQuery>

#include <algorithm>
#include <deque>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

using Period = BalanceTables::Period;

// What the statement needs to know of each sub-account.
struct SubAccount {
    CashRole role;
    bool cash = false;
    bool inHand = false;
};

struct Chart {
    QHash<qint64, int> indexOf; // sub-account id -> index in subAccounts
    std::vector<SubAccount> subAccounts;
};

std::optional<Chart> readChart(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!runSql(query,
                u"SELECT so.id, c.prefisso, m.prefisso, c.liquidita FROM sottoconti so "
                u"JOIN conti c ON c.id = so.idConto JOIN mastri m ON m.id = c.idMastro"_s,
                {}, error))
        return std::nullopt;
    Chart chart;
    while (query.next()) {
        const QString account = query.value(1).toString();
        chart.indexOf.insert(query.value(0).toLongLong(), int(chart.subAccounts.size()));
        chart.subAccounts.push_back({cashRoleOf(account, query.value(2).toString()),
                                     query.value(3).toInt() == 1, isCashInHand(account)});
    }
    return chart;
}

// Debit less credit per sub-account.
using Totals = QHash<qint64, Money>;

// The totals of the entries the filter admits dated in the period.
std::optional<Totals> totalsOf(const QSqlDatabase &database, const Period &period,
                               EntryFilter filter, QString *error)
{
    const auto balances = periodBalances(database, period.start, period.end, filter, error);
    if (!balances)
        return std::nullopt;
    Totals totals;
    for (const SubAccountBalance &balance : *balances)
        if (const Money net = balance.dare - balance.avere; !net.isZero())
            totals.insert(balance.subAccountId, net);
    return totals;
}

// The fiscal years around a date, as the program reckons them elsewhere.
Period yearBefore(const Period &year)
{
    const FiscalYear before = fiscalYearBefore(year.start);
    return {before.start, before.end};
}

Period yearFrom(const QDate &start)
{
    const FiscalYear year = fiscalYearContaining(start, start.month());
    return {year.start, year.end};
}

Totals negated(Totals totals)
{
    for (Money &amount : totals)
        amount = -amount;
    return totals;
}

// The balances at the start of a fiscal year: before the closing of the year before when it
// was closed, else the year's opening entries, else everything booked before it.
std::optional<Totals> openingBalances(const QSqlDatabase &database, const QDate &start,
                                      QString *error)
{
    const auto closing =
        totalsOf(database, yearBefore(yearFrom(start)), EntryFilter::ClosingOnly, error);
    if (!closing)
        return std::nullopt;
    if (!closing->isEmpty())
        return negated(*closing);
    const auto opening = totalsOf(database, yearFrom(start), EntryFilter::OpeningOnly, error);
    if (!opening || !opening->isEmpty())
        return opening;
    return totalsOf(database, {QDate(1, 1, 1), start.addDays(-1)}, EntryFilter::AllEntries, error);
}

// The balances at the end of a year, its closing left out: its opening entries (or the balances
// at its start when it has none) and its ordinary entries.
std::optional<Totals> closingBalances(const QSqlDatabase &database, const Period &year,
                                      QString *error)
{
    auto start = totalsOf(database, year, EntryFilter::OpeningOnly, error);
    if (start && start->isEmpty())
        start = openingBalances(database, year.start, error);
    const auto ordinary =
        start ? totalsOf(database, year, EntryFilter::OrdinaryOnly, error) : std::nullopt;
    if (!ordinary)
        return std::nullopt;
    for (auto it = ordinary->cbegin(); it != ordinary->cend(); ++it)
        (*start)[it.key()] += it.value();
    return start;
}

struct Side {
    int subAccount; // index in Chart::subAccounts; -1 for one the chart lacks
    Money amount;   // debit positive, credit negative
};

struct Entry {
    QDate date;
    size_t first = 0, last = 0; // its sides
    bool movesCash = false;
    qint64 number = 0;
};

struct Entries {
    std::vector<Entry> entries;
    std::vector<Side> sides;
};

std::optional<Entries> readEntries(const QSqlDatabase &database, const Chart &chart,
                                   const Period &period, QString *error)
{
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!runSql(query,
                u"SELECT rm.id, rm.data, rd.contodare, rd.contoavere, rd.importo, rm.progressivo "
                u"FROM regmain rm "
                u"JOIN regdet rd ON rd.idRegMain = rm.id "
                u"WHERE rm.tipo = 0 AND rm.data BETWEEN ? AND ? ORDER BY rm.data, rm.id"_s,
                {isoDate(period.start), isoDate(period.end)}, error))
        return std::nullopt;
    Entries result;
    qint64 lastId = 0;
    const auto addSide = [&](const QVariant &subAccount, Money amount) {
        if (subAccount.isNull())
            return;
        const int index = chart.indexOf.value(subAccount.toLongLong(), -1);
        result.sides.push_back({index, amount});
        Entry &entry = result.entries.back();
        entry.last = result.sides.size();
        entry.movesCash = entry.movesCash || (index >= 0 && chart.subAccounts[index].cash);
    };
    while (query.next()) {
        if (const qint64 id = query.value(0).toLongLong(); id != lastId) {
            lastId = id;
            result.entries.push_back({dateFromIso(query.value(1).toString()), result.sides.size(),
                                      result.sides.size(), false, query.value(5).toLongLong()});
        }
        const Money amount = Money::fromUnits(query.value(4).toLongLong());
        addSide(query.value(2), amount);
        addSide(query.value(3), -amount);
    }
    return result;
}

// A part of a share of cash and the line it goes to.
struct Part {
    CashTarget target;
    Money weight;
};
using Composition = std::vector<Part>;

// What a receivable or payable still holds of one movement on it, oldest first.
struct Lot {
    Money remaining;               // signed like the movement
    bool pending;                  // cash paid or received before the entry that says what for
    bool counted;                  // a pending lot's cash belongs to the year of the statement
    Composition parts;             // a booked lot: the lines its cash goes to
    CashStatementEntry entry = {}; // a pending lot's: the entry that paid or received it
};

int signOf(Money amount)
{
    return amount.isNegative() ? -1 : 1;
}

// Splits total in proportion to the weights, in whole cents when the total is, so that the
// shares add up to it exactly.
std::vector<Money> shares(Money total, const Composition &parts)
{
    __extension__ using Wide = __int128;
    const qint64 quantum = total.units() % Money::UnitsPerCent == 0 ? Money::UnitsPerCent : 1;
    const qint64 quanta = total.units() / quantum;
    qint64 weightSum = 0;
    for (const Part &part : parts)
        weightSum += part.weight.units();
    std::vector<qint64> taken(parts.size());
    std::vector<std::pair<qint64, size_t>> remainders;
    qint64 given = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        const Wide exact = Wide(quanta) * parts[i].weight.units();
        taken[i] = qint64(exact / weightSum);
        remainders.push_back({qint64(exact % weightSum), i});
        given += taken[i];
    }
    // The quanta lost to truncation go to the largest remainders, the first part on a tie.
    std::stable_sort(remainders.begin(), remainders.end(), [quanta](const auto &a, const auto &b) {
        return quanta < 0 ? a.first < b.first : a.first > b.first;
    });
    for (size_t i = 0; given != quanta; ++i) {
        const qint64 step = quanta < 0 ? -1 : 1;
        taken[remainders[i % remainders.size()].second] += step;
        given += step;
    }
    std::vector<Money> result;
    for (const qint64 count : taken)
        result.push_back(Money::fromUnits(count * quantum));
    return result;
}

// Replays the ordinary entries from the start of the year before the statement's (where the
// receivables and payables open with their balances) to its end, keeping the receipts and
// payments dated in the statement's year.
class Replay {
public:
    Replay(const Chart &chart, const Period &year) : m_chart(chart), m_year(year)
    {
        m_statement.rows.resize(cashStatementRows().size());
        m_lots.resize(chart.subAccounts.size());
    }

    void openWith(const Totals &balances)
    {
        for (auto it = balances.cbegin(); it != balances.cend(); ++it) {
            const int index = m_chart.indexOf.value(it.key(), -1);
            if (index >= 0 && isTraced(index))
                m_lots[index].push_back({it.value(), false, false, defaultOf(index)});
        }
    }

    void run(const Entries &entries, const QDate &from)
    {
        for (const Entry &entry : entries.entries) {
            if (entry.date < from || entry.date > m_year.end)
                continue;
            replay(entry, entries.sides);
        }
        settlePendingLots();
    }

    CashStatementYear result() const { return m_statement; }

private:
    bool isTraced(int index) const
    {
        return m_chart.subAccounts[index].role.kind == CashRoleKind::Traced;
    }

    Composition defaultOf(int index) const
    {
        return {{m_chart.subAccounts[index].role.target, Money::fromUnits(1)}};
    }

    bool inYear(const QDate &date) const { return date >= m_year.start && date <= m_year.end; }

    void replay(const Entry &entry, const std::vector<Side> &sides)
    {
        const bool counted = inYear(entry.date);
        m_entry = {entry.number, entry.date};
        for (size_t i = entry.first; i < entry.last; ++i) {
            const Side &side = sides[i];
            if (side.subAccount < 0) {
                if (entry.movesCash)
                    classify(-side.amount, {}, counted);
                continue;
            }
            const SubAccount &subAccount = m_chart.subAccounts[side.subAccount];
            if (subAccount.role.kind == CashRoleKind::Traced)
                move(side.subAccount, side.amount, entry, sides, counted);
            else if (entry.movesCash && !subAccount.cash)
                classify(-side.amount, {{subAccount.role.target, Money::fromUnits(1)}}, counted);
        }
        applyEntryFlows();
    }

    // The sides of the entry of the given sign that have a line of their own, weighted by their
    // amounts.
    Composition compositionOf(int sign, const Entry &entry, const std::vector<Side> &sides) const
    {
        Composition parts;
        for (size_t i = entry.first; i < entry.last; ++i) {
            const Side &side = sides[i];
            if (side.subAccount < 0 || signOf(side.amount) != sign)
                continue;
            const SubAccount &subAccount = m_chart.subAccounts[side.subAccount];
            if (subAccount.role.kind == CashRoleKind::Direct)
                parts.push_back({subAccount.role.target, side.amount.abs()});
        }
        return parts;
    }

    Composition compositionAgainst(int sign, const Entry &entry,
                                   const std::vector<Side> &sides) const
    {
        return compositionOf(-sign, entry, sides);
    }

    // A movement on a receivable or payable: it settles what the sub-account holds on the other
    // side, oldest first, and what is left of it stays there as a new lot.
    void move(int index, Money amount, const Entry &entry, const std::vector<Side> &sides,
              bool counted)
    {
        std::deque<Lot> &lots = m_lots[index];
        while (!amount.isZero() && !lots.empty() &&
               signOf(lots.front().remaining) != signOf(amount)) {
            Lot &lot = lots.front();
            const Money taken = std::min(amount.abs(), lot.remaining.abs());
            const Money settled = lot.remaining.isNegative() ? -taken : taken;
            if (entry.movesCash && !lot.pending) {
                classify(settled, lot.parts, counted);
            } else if (entry.movesCash) {
                // Cash out and back in: both go where the account's own movements go.
                classify(-settled, defaultOf(index), lot.counted);
                classify(settled, defaultOf(index), counted);
            } else if (lot.pending) {
                const Composition parts = compositionAgainst(signOf(amount), entry, sides);
                classify(-settled, parts.empty() ? defaultOf(index) : parts, lot.counted);
            }
            lot.remaining -= settled;
            amount += settled;
            if (lot.remaining.isZero())
                lots.pop_front();
        }
        if (amount.isZero())
            return;
        Composition parts = compositionAgainst(signOf(amount), entry, sides);
        if (entry.movesCash && parts.empty()) {
            // VAT of an invoice paid at once: its cash goes with the costs (or revenues) beside
            // it, as it would through the supplier's (or customer's) account.
            const Composition beside = compositionOf(signOf(amount), entry, sides);
            if (beside.empty()) {
                lots.push_back({amount, true, counted, {}, m_entry});
                return;
            }
            classify(-amount, beside, counted);
        } else if (entry.movesCash) {
            classify(-amount, parts, counted);
        }
        lots.push_back({amount, false, false, parts.empty() ? defaultOf(index) : parts});
    }

    // A cash flow (receipts positive) shared among the parts; an empty composition leaves it
    // unclassified.
    void classify(Money flow, const Composition &parts, bool counted)
    {
        if (!counted || flow.isZero())
            return;
        if (parts.empty()) {
            addFlow({}, flow);
            return;
        }
        const std::vector<Money> split = shares(flow, parts);
        for (size_t i = 0; i < parts.size(); ++i)
            addFlow(parts[i].target, split[i]);
    }

    void addFlow(const CashTarget &target, Money flow)
    {
        const auto same = std::find_if(m_entryFlows.begin(), m_entryFlows.end(),
                                       [&](const auto &item) { return item.first == target; });
        if (same == m_entryFlows.end())
            m_entryFlows.push_back({target, flow});
        else
            same->second += flow;
    }

    // The entry's flows, netted per line first: selling an asset with its depreciation fund is
    // one receipt of what was cashed.
    void applyEntryFlows()
    {
        for (const auto &[target, flow] : m_entryFlows)
            apply(target, flow);
        m_entryFlows.clear();
    }

    void apply(const CashTarget &target, Money flow)
    {
        std::vector<Money> &rows = m_statement.rows;
        if (flow.isNegative() && target.payment >= 0)
            rows[size_t(target.payment)] -= flow;
        else if (flow.isNegative() && target.receipt >= 0)
            rows[size_t(target.receipt)] += flow;
        else if (!flow.isNegative() && target.receipt >= 0)
            rows[size_t(target.receipt)] += flow;
        else if (!flow.isNegative() && target.payment >= 0)
            rows[size_t(target.payment)] -= flow;
        else
            addUnclassified(flow);
    }

    void addUnclassified(Money flow)
    {
        m_statement.unclassified += flow;
        std::vector<CashStatementEntry> &entries = m_statement.unclassifiedEntries;
        if (m_entry.date.isValid() && (entries.empty() || entries.back() != m_entry))
            entries.push_back(m_entry);
    }

    // Cash paid or received in the year for what no entry booked yet goes where the account's
    // own movements go.
    void settlePendingLots()
    {
        for (size_t index = 0; index < m_lots.size(); ++index) {
            const CashTarget target = m_chart.subAccounts[index].role.target;
            for (const Lot &lot : m_lots[index]) {
                if (!lot.pending)
                    continue;
                classify(-lot.remaining, defaultOf(int(index)), lot.counted);
                if (lot.counted && target.payment < 0 && target.receipt < 0)
                    m_statement.unclassifiedEntries.push_back(lot.entry);
            }
        }
        // Netted per line as one entry; the entries that paid what no line takes are told above.
        m_entry = {};
        applyEntryFlows();
        std::vector<CashStatementEntry> &entries = m_statement.unclassifiedEntries;
        std::sort(entries.begin(), entries.end(),
                  [](const CashStatementEntry &a, const CashStatementEntry &b) {
                      return std::tie(a.date, a.number) < std::tie(b.date, b.number);
                  });
        entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    }

    const Chart &m_chart;
    Period m_year;
    CashStatementYear m_statement;
    std::vector<std::deque<Lot>> m_lots;
    std::vector<std::pair<CashTarget, Money>> m_entryFlows;
    CashStatementEntry m_entry; // the entry being replayed
};

Money cashOf(const Chart &chart, const Totals &balances, bool inHandOnly = false)
{
    Money total;
    for (auto it = balances.cbegin(); it != balances.cend(); ++it) {
        const int index = chart.indexOf.value(it.key(), -1);
        if (index >= 0 && chart.subAccounts[index].cash &&
            (!inHandOnly || chart.subAccounts[index].inHand))
            total += it.value();
    }
    return total;
}

// Adds the totals, the closing cash and bank lines and the two ends of the year.
void complete(CashStatementYear &year, const Chart &chart, const Totals &start, const Totals &end)
{
    const std::vector<CashStatementRow> &rows = cashStatementRows();
    year.cashStart = cashOf(chart, start);
    year.cashEnd = cashOf(chart, end);
    const Money inHand = cashOf(chart, end, true);
    year.rows[size_t(cashStatementRowIndex(u"CB1"_s))] = inHand;
    year.rows[size_t(cashStatementRowIndex(u"CB2"_s))] = year.cashEnd - inHand;
    std::vector<bool> done(rows.size());
    const std::function<Money(int)> valueOf = [&](int index) -> Money {
        const CashStatementRow &row = rows[size_t(index)];
        if (row.kind != CashStatementRow::Kind::Total || done[size_t(index)])
            return year.rows[size_t(index)];
        Money sum;
        bool minus = false;
        for (const QString &token : row.formula.split(u' ', Qt::SkipEmptyParts)) {
            if (token == u"+"_s || token == u"-"_s) {
                minus = token == u"-"_s;
                continue;
            }
            const Money term = valueOf(cashStatementRowIndex(token));
            sum += minus ? -term : term;
        }
        done[size_t(index)] = true;
        return year.rows[size_t(index)] = sum;
    };
    for (size_t i = 0; i < rows.size(); ++i)
        valueOf(int(i));
}

std::optional<CashStatementYear> computeYear(const QSqlDatabase &database, const Chart &chart,
                                             const Entries &entries, const Period &year,
                                             QString *error)
{
    const Period before = yearBefore(year);
    const auto lookbackStart = openingBalances(database, before.start, error);
    const auto start = lookbackStart ? openingBalances(database, year.start, error) : std::nullopt;
    const auto end = start ? closingBalances(database, year, error) : std::nullopt;
    if (!end)
        return std::nullopt;
    Replay replay(chart, year);
    replay.openWith(*lookbackStart);
    replay.run(entries, before.start);
    CashStatementYear result = replay.result();
    complete(result, chart, *start, *end);
    return result;
}

} // namespace

Money CashStatementYear::row(const QString &id) const
{
    const int index = cashStatementRowIndex(id);
    return index < 0 ? Money() : rows[size_t(index)];
}

Money CashStatementYear::surplus() const
{
    return row(u"R3"_s);
}

Money CashStatementYear::difference() const
{
    return cashEnd - cashStart - surplus();
}

std::optional<CashStatement> computeCashStatement(const QSqlDatabase &database,
                                                  const BalanceTables::Period &current,
                                                  const BalanceTables::Period &previous,
                                                  QString *error)
{
    const auto chart = readChart(database, error);
    const auto entries =
        chart ? readEntries(database, *chart, {yearBefore(previous).start, current.end}, error)
              : std::nullopt;
    if (!entries)
        return std::nullopt;
    auto currentYear = computeYear(database, *chart, *entries, current, error);
    auto previousYear =
        currentYear ? computeYear(database, *chart, *entries, previous, error) : std::nullopt;
    if (!previousYear)
        return std::nullopt;
    return CashStatement{std::move(*currentYear), std::move(*previousYear)};
}

QString unclassifiedWarning(const CashStatementYear &year, const QString &yearLabel)
{
    if (year.unclassified.isZero())
        return {};
    constexpr size_t Named = 5;
    QStringList named;
    for (size_t i = 0; i < std::min(Named, year.unclassifiedEntries.size()); ++i) {
        const CashStatementEntry &entry = year.unclassifiedEntries[i];
        const QString date = entry.date.toString(u"dd/MM/yyyy"_s);
        named << (entry.number > 0 ? u"n. %1 del %2"_s.arg(entry.number).arg(date)
                                   : u"senza numero del %1"_s.arg(date));
    }
    const size_t count = year.unclassifiedEntries.size();
    return u"Attenzione: nell'esercizio %1 restano da classificare %2 (incassi meno pagamenti "
           u"che nessuna voce accoglie), da %3 %4: %5%6."_s.arg(
               yearLabel, PatternFormatter().format(year.unclassified, u"#,##0.00"_s),
               QString::number(count), count == 1 ? u"registrazione"_s : u"registrazioni"_s,
               named.join(u", "_s), count > Named ? u", …"_s : QString());
}

QHash<QString, Money> cashStatementFigures(const CashStatementYear &year)
{
    QHash<QString, Money> figures{{u"CBI"_s, year.cashStart}, {u"DC"_s, year.unclassified}};
    const std::vector<CashStatementRow> &rows = cashStatementRows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (!rows[i].id.isEmpty())
            figures.insert(rows[i].id, year.rows[i]);
    return figures;
}
