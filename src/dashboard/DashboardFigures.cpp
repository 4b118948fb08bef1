#include "dashboard/DashboardFigures.h"

#include "data/Balances.h"
#include "data/ClosedYears.h"
#include "data/EngineDialect.h"
#include "data/SqlText.h"
#include "statements/BalanceJson.h"
#include "statements/BalanceSections.h"
#include "statements/CashStatementPlan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr int CostNature = 3;
constexpr int RevenueNature = 4;
constexpr qsizetype LargestItems = 10;

struct SubAccountGroups {
    QList<qint64> cash;
    QList<qint64> receivables;
    QList<qint64> payables;
};

// Cash and bank by the chart's flag; receivables and payables by the accounts whose settlements
// the cash-basis statement traces, assets and liabilities.
std::optional<SubAccountGroups> subAccountGroups(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT so.id, c.prefisso, m.prefisso, m.tipo, c.liquidita FROM sottoconti so "
                u"JOIN conti c ON c.id = so.idConto JOIN mastri m ON m.id = c.idMastro"_s,
                {}, error))
        return std::nullopt;
    SubAccountGroups groups;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (query.value(4).toInt() != 0) {
            groups.cash << id;
            continue;
        }
        if (cashRoleOf(query.value(1).toString(), query.value(2).toString()).kind !=
            CashRoleKind::Traced)
            continue;
        if (query.value(3).toInt() == 1)
            groups.receivables << id;
        else if (query.value(3).toInt() == 2)
            groups.payables << id;
    }
    return groups;
}

// The balance (debit less credit) of the sub-accounts at the end of a day: the latest opening
// entry up to then and the ordinary entries since (without one, every ordinary entry before),
// read from the monthly totals for whole months.
std::optional<Money> balanceOn(const QSqlDatabase &database, const QList<qint64> &subAccounts,
                               const QDate &date, QString *error)
{
    if (subAccounts.isEmpty())
        return Money();
    const auto balances = balancesBefore(database, date.addDays(1), error);
    if (!balances)
        return std::nullopt;
    Money balance;
    for (const SubAccountBalance &line : *balances)
        if (subAccounts.contains(line.subAccountId))
            balance += line.dare - line.avere;
    return balance;
}

// The cash at the end of each day of the year: the balance the year starts from, then each day's
// movements. A year with an opening entry starts from it; one without, from the balance before.
std::optional<QList<Money>> dailyCash(const QSqlDatabase &database, const QList<qint64> &cash,
                                      const FiscalYear &year, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT 1 FROM regmain WHERE tipo = 1 AND data BETWEEN ? AND ? LIMIT 1"_s,
                {isoDate(year.start), isoDate(year.end)}, error))
        return std::nullopt;
    const bool opened = query.next();
    std::optional<Money> balance =
        opened ? Money() : balanceOn(database, cash, year.start.addDays(-1), error);
    if (!balance)
        return std::nullopt;
    QList<Money> days(year.start.daysTo(year.end) + 1);
    if (!cash.isEmpty()) {
        QStringList ids;
        for (const qint64 id : cash)
            ids << QString::number(id);
        // Ids are numbers read from the archive, never user text. The year's entries lead, so
        // the cost follows the year, not the archive.
        const QString list = u"("_s + ids.join(u',') + u')';
        if (!runSql(query,
                    u"SELECT m.data, SUM(CASE WHEN d.contodare IN %1 THEN d.importo ELSE 0 END) - "
                    u"SUM(CASE WHEN d.contoavere IN %1 THEN d.importo ELSE 0 END) "
                    u"FROM regmain m %2 regdet d ON d.idRegMain = m.id "
                    u"WHERE m.data BETWEEN ? AND ? AND m.tipo BETWEEN 0 AND ? "
                    u"AND (d.contodare IN %1 OR d.contoavere IN %1) GROUP BY m.data"_s.arg(
                        list, dialectOf(database).joinInWrittenOrder()),
                    {isoDate(year.start), isoDate(year.end), opened ? 1 : 0}, error))
            return std::nullopt;
        while (query.next())
            days[year.start.daysTo(dateFromIso(query.value(0).toString()))] +=
                Money::fromUnits(query.value(1).toLongLong());
    }
    for (Money &day : days) {
        *balance += day;
        day = *balance;
    }
    return days;
}

// Revenues less costs of the ordinary entries between the dates.
std::optional<Money> resultBetween(const QSqlDatabase &database, const QDate &from, const QDate &to,
                                   QString *error)
{
    const auto balances = periodBalances(database, from, to, EntryFilter::OrdinaryOnly, error);
    if (!balances)
        return std::nullopt;
    Money result;
    for (const SubAccountBalance &line : *balances)
        if (line.nature == CostNature || line.nature == RevenueNature)
            result += line.avere - line.dare;
    return result;
}

bool fillMonths(const QSqlDatabase &database, DashboardFigures &figures, QString *error)
{
    // Nothing after the working date, which heads the page.
    for (int month = 0; month < 12 && figures.monthStart(month) <= figures.date; ++month) {
        const QDate from = figures.monthStart(month);
        const auto balances =
            periodBalances(database, from, std::min(from.addMonths(1).addDays(-1), figures.date),
                           EntryFilter::OrdinaryOnly, error);
        if (!balances)
            return false;
        for (const SubAccountBalance &line : *balances) {
            if (line.nature == CostNature)
                figures.costs[month] += line.dare - line.avere;
            else if (line.nature == RevenueNature)
                figures.revenues[month] += line.avere - line.dare;
        }
    }
    return true;
}

QList<DashboardItem> largest(std::map<qint64, DashboardItem> items)
{
    QList<DashboardItem> list;
    for (const auto &[id, item] : items)
        if (item.amount > Money())
            list << item;
    std::stable_sort(list.begin(), list.end(), [](const DashboardItem &a, const DashboardItem &b) {
        return a.amount > b.amount;
    });
    return list.mid(0, LargestItems);
}

bool fillLargestItems(const QSqlDatabase &database, DashboardFigures &figures, QString *error)
{
    const auto balances = periodBalances(database, figures.year.start, figures.date,
                                         EntryFilter::OrdinaryOnly, error);
    if (!balances)
        return false;
    std::map<qint64, DashboardItem> costs;
    std::map<qint64, DashboardItem> revenues;
    for (const SubAccountBalance &line : *balances) {
        if (line.nature != CostNature && line.nature != RevenueNature)
            continue;
        auto &items = line.nature == CostNature ? costs : revenues;
        DashboardItem &item = items[line.accountId];
        item.accountId = line.accountId;
        item.code = line.accountCode;
        item.description = line.accountDescription;
        item.amount += line.nature == CostNature ? line.dare - line.avere : line.avere - line.dare;
    }
    figures.largestCosts = largest(costs);
    figures.largestRevenues = largest(revenues);
    return true;
}

// A figure at a date and at the same date a year earlier, when the year before holds entries.
template <typename Figure>
std::optional<KeyFigure> keyFigure(const QDate &date, bool yearBefore, Figure figure)
{
    const std::optional<Money> now = figure(date, false);
    if (!now)
        return std::nullopt;
    KeyFigure key{*now, std::nullopt};
    if (yearBefore) {
        key.yearEarlier = figure(date.addYears(-1), true);
        if (!key.yearEarlier)
            return std::nullopt;
    }
    return key;
}

QJsonArray dailyJson(const QList<Money> &days, const QDate &first)
{
    QJsonArray array;
    for (qsizetype d = 0; d < days.size(); ++d)
        array << QJsonObject{{u"data"_s, isoDate(first.addDays(d))},
                             {u"saldo"_s, decimalText(days[d])}};
    return array;
}

QJsonArray itemsJson(const QList<DashboardItem> &items)
{
    QJsonArray array;
    for (const DashboardItem &item : items)
        array << QJsonObject{{u"conto"_s, item.code},
                             {u"descrizione"_s, item.description},
                             {u"importo"_s, decimalText(item.amount)}};
    return array;
}

QJsonObject keyJson(const KeyFigure &figure)
{
    return {{u"valore"_s, decimalText(figure.now)},
            {u"annoPrima"_s,
             figure.yearEarlier ? QJsonValue(decimalText(*figure.yearEarlier)) : QJsonValue()}};
}

} // namespace

std::array<Money, 12> DashboardFigures::runningResult() const
{
    std::array<Money, 12> running{};
    Money total;
    for (int month = 0; month < 12; ++month) {
        total += revenues[month] - costs[month];
        running[month] = total;
    }
    return running;
}

std::optional<DashboardFigures> dashboardFigures(const QSqlDatabase &database,
                                                 const QDate &workingDate, QString *error)
{
    const std::optional<FiscalYear> year = archiveYearContaining(database, workingDate, error);
    const std::optional<SubAccountGroups> groups =
        year ? subAccountGroups(database, error) : std::nullopt;
    if (!groups)
        return std::nullopt;
    DashboardFigures figures;
    figures.year = *year;
    figures.date = workingDate;
    const FiscalYear before = fiscalYearBefore(year->start);
    const std::optional<bool> beforeHoldsEntries =
        hasEntries(database, before.start, before.end, error);
    if (!beforeHoldsEntries)
        return std::nullopt;
    const bool yearBefore = *beforeHoldsEntries;
    std::optional<QList<Money>> days = dailyCash(database, groups->cash, *year, error);
    std::optional<QList<Money>> daysBefore = days && yearBefore
                                                 ? dailyCash(database, groups->cash, before, error)
                                                 : std::optional<QList<Money>>(QList<Money>{});
    if (!days || !daysBefore || !fillMonths(database, figures, error) ||
        !fillLargestItems(database, figures, error))
        return std::nullopt;
    figures.dailyCash = std::move(*days);
    figures.dailyCashBefore = std::move(*daysBefore);

    const auto cashAt = [&](const QList<qint64> &ids, bool credit) {
        return [&, ids, credit](const QDate &date, bool) -> std::optional<Money> {
            const std::optional<Money> balance = balanceOn(database, ids, date, error);
            return balance && credit ? std::optional<Money>(-*balance) : balance;
        };
    };
    const auto resultTo = [&](const QDate &date, bool earlier) {
        return resultBetween(database, earlier ? before.start : year->start, date, error);
    };
    const auto cash = keyFigure(workingDate, yearBefore, cashAt(groups->cash, false));
    const auto result = cash ? keyFigure(workingDate, yearBefore, resultTo) : std::nullopt;
    const auto receivables =
        result ? keyFigure(workingDate, yearBefore, cashAt(groups->receivables, false))
               : std::nullopt;
    const auto payables = receivables
                              ? keyFigure(workingDate, yearBefore, cashAt(groups->payables, true))
                              : std::nullopt;
    if (!payables)
        return std::nullopt;
    figures.cash = *cash;
    figures.result = *result;
    figures.receivables = *receivables;
    figures.payables = *payables;
    return figures;
}

QByteArray dashboardJson(const DashboardFigures &figures)
{
    QJsonArray months;
    const std::array<Money, 12> running = figures.runningResult();
    for (int month = 0; month < 12; ++month)
        months << QJsonObject{{u"mese"_s, figures.monthStart(month).toString(u"yyyy-MM"_s)},
                              {u"ricavi"_s, decimalText(figures.revenues[month])},
                              {u"costi"_s, decimalText(figures.costs[month])},
                              {u"risultatoProgressivo"_s, decimalText(running[month])}};
    const QJsonObject object{
        {u"esercizio"_s, figures.year.label},
        {u"data"_s, isoDate(figures.date)},
        {u"cassa"_s, dailyJson(figures.dailyCash, figures.year.start)},
        {u"cassaAnnoPrima"_s,
         dailyJson(figures.dailyCashBefore, fiscalYearBefore(figures.year.start).start)},
        {u"mesi"_s, months},
        {u"costiMaggiori"_s, itemsJson(figures.largestCosts)},
        {u"ricaviMaggiori"_s, itemsJson(figures.largestRevenues)},
        {u"indicatori"_s, QJsonObject{{u"cassa"_s, keyJson(figures.cash)},
                                      {u"risultato"_s, keyJson(figures.result)},
                                      {u"crediti"_s, keyJson(figures.receivables)},
                                      {u"debiti"_s, keyJson(figures.payables)}}},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}
