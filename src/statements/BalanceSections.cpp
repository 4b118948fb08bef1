#include "statements/BalanceSections.h"

#include "data/ClosedYears.h"
#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/ItalianCollation.h"
#include "data/MonthlyTotals.h"
#include "data/Natures.h"
#include "data/SqlText.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <map>

using namespace Qt::StringLiterals;

namespace {

// The text a caption has while the archive keeps none of its own.
QString initialCaption(const QString &key)
{
    for (const CaptionField &field : captionFields()) {
        if (field.key == key)
            return field.initial;
    }
    return {};
}

QString defaultProfit()
{
    return u"Utile d'esercizio"_s;
}
QString defaultLoss()
{
    return u"Perdita d'esercizio"_s;
}

bool isBalanceSheet(int nature)
{
    return nature == Natures::Assets || nature == Natures::Liabilities;
}

// Whether the sub-account prints in the section. By balance side a section takes the debit or
// credit balances of both natures of its statement; a zero balance goes to its own nature.
// The memorandum section lists every balance that is not zero, whichever its side.
bool belongsTo(int section, const SubAccountBalance &balance, const BalanceOptions &options)
{
    if (section == Natures::Memorandum)
        return balance.nature == Natures::Memorandum &&
               (options.zeroBalances || !balance.saldo().isZero());
    if (options.fixedColumns)
        return balance.nature == section && (options.zeroBalances || !balance.saldo2().isZero());
    if (balance.nature == Natures::Memorandum ||
        isBalanceSheet(balance.nature) != isBalanceSheet(section))
        return false;
    const Money saldo = balance.saldo();
    if (saldo.isZero())
        return options.zeroBalances && balance.nature == section;
    const bool debitSide = section == Natures::Assets || section == Natures::Costs;
    // saldo is debit minus credit on the balance sheet, credit minus debit on the income
    // statement.
    const bool debitBalance = isBalanceSheet(section) ? saldo.units() > 0 : saldo.units() < 0;
    return debitSide == debitBalance;
}

Money printedAmount(const SubAccountBalance &balance, const BalanceOptions &options)
{
    return options.fixedColumns ? balance.saldo2() : balance.saldo().abs();
}

// Group text, ledger code, account code, sub-account description; ids keep equal texts apart.
bool printedBefore(const SubAccountBalance *a, const SubAccountBalance *b)
{
    if (const int group = compareItalian(a->ledgerGroup, b->ledgerGroup))
        return group < 0;
    if (std::tie(a->ledgerCode, a->ledgerId, a->accountCode, a->accountId) !=
        std::tie(b->ledgerCode, b->ledgerId, b->accountCode, b->accountId))
        return std::tie(a->ledgerCode, a->ledgerId, a->accountCode, a->accountId) <
               std::tie(b->ledgerCode, b->ledgerId, b->accountCode, b->accountId);
    if (const int name = compareItalian(a->subAccountDescription, b->subAccountDescription))
        return name < 0;
    return a->subAccountId < b->subAccountId;
}

QString sectionCaption(int nature, const BalanceCaptions &captions)
{
    switch (nature) {
    case Natures::Assets:
        return captions.assets;
    case Natures::Liabilities:
        return captions.liabilities;
    case Natures::Costs:
        return captions.costs;
    case Natures::Revenues:
        return captions.revenues;
    default:
        return captions.memorandum;
    }
}

// Adds the amounts of one sub-account to a line of the section.
void addTo(BalanceLine &line, const BalanceLine &subAccount)
{
    line.amount += subAccount.amount;
    line.debit += subAccount.debit;
    line.credit += subAccount.credit;
}

BalanceLine lineOf(BalanceLine::Level level, const QString &code, const QString &description)
{
    BalanceLine line;
    line.level = level;
    line.code = code;
    line.description = description;
    return line;
}

// Whole months of the totals table, as "YYYY-MM".
QString monthKey(const QDate &date)
{
    return date.toString(u"yyyy-MM"_s);
}

// Adds the monthly totals of the months first..last to *bySubAccount.
bool addMonthlyTotals(const QSqlDatabase &database, const QDate &first, const QDate &last,
                      EntryFilter filter, std::map<qint64, SubAccountBalance> *bySubAccount,
                      QString *error)
{
    static const QString sql = uR"(
SELECT so.id, so.descrizione, c.id, c.prefisso, c.descrizione,
       m.id, m.prefisso, m.descrizione, m.gruppo, m.tipo, c.bilancio, t.dare, t.avere
FROM (SELECT conto, SUM(dare) AS dare, SUM(avere) AS avere FROM saldi_mese
       WHERE mese BETWEEN ? AND ? AND tipo BETWEEN ? AND ?
       GROUP BY conto) t
JOIN sottoconti so ON so.id = t.conto
JOIN conti c ON c.id = so.idConto
JOIN mastri m ON m.id = c.idMastro
)"_s;
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!runSql(query, sql,
                {monthKey(first), monthKey(last), entryTypeRange(filter).first,
                 entryTypeRange(filter).second},
                error))
        return false;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        auto [entry, added] = bySubAccount->try_emplace(id);
        SubAccountBalance &b = entry->second;
        if (added) {
            b.subAccountId = id;
            readChartFields(query, &b);
        }
        b.dare += Money::fromUnits(query.value(11).toLongLong());
        b.avere += Money::fromUnits(query.value(12).toLongLong());
    }
    if (query.lastError().isValid()) {
        if (error)
            *error = engineText(query);
        return false;
    }
    return true;
}

// Adds the balances of the days from..to, read from the entry rows, to *bySubAccount.
bool addEntryRows(const QSqlDatabase &database, const QDate &from, const QDate &to,
                  EntryFilter filter, std::map<qint64, SubAccountBalance> *bySubAccount,
                  QString *error)
{
    if (from > to)
        return true;
    std::vector<SubAccountBalance> balances;
    if (!subAccountBalances(database, from, to, filter, &balances, error))
        return false;
    for (SubAccountBalance &balance : balances) {
        auto [entry, added] = bySubAccount->try_emplace(balance.subAccountId, balance);
        if (!added) {
            entry->second.dare += balance.dare;
            entry->second.avere += balance.avere;
        }
    }
    return true;
}

// The sub-account that keeps a result carried forward, with its place in the chart; nothing
// when the archive names none (an empty line) or on a failure (the engine's text in *error).
std::optional<SubAccountBalance> resultSubAccount(const QSqlDatabase &database, Money result,
                                                  QString *error)
{
    static const QString sql = uR"(
SELECT so.id, so.descrizione, c.id, c.prefisso, c.descrizione,
       m.id, m.prefisso, m.descrizione, m.gruppo, m.tipo, c.bilancio
FROM parametri p
JOIN sottoconti so ON CAST(so.id AS TEXT) = p.valore
JOIN conti c ON c.id = so.idConto
JOIN mastri m ON m.id = c.idMastro
WHERE p.chiave = ?
)"_s;
    QSqlQuery query(database);
    if (!runSql(query, sql, {result.isNegative() ? u"perdita"_s : u"utile"_s}, error))
        return std::nullopt;
    SubAccountBalance line;
    if (query.next()) {
        line.subAccountId = query.value(0).toLongLong();
        readChartFields(query, &line);
    }
    return line;
}

// The balance-sheet lines of the balances, with the result of the others carried to the
// sub-account the archive names for it.
std::optional<std::vector<SubAccountBalance>>
balanceSheetWithResult(const QSqlDatabase &database, const std::vector<SubAccountBalance> &all,
                       QString *error)
{
    std::vector<SubAccountBalance> sheet;
    Money result;
    for (const SubAccountBalance &balance : all) {
        if (isBalanceSheet(balance.nature))
            sheet.push_back(balance);
        else if (balance.nature != Natures::Memorandum)
            result += balance.avere - balance.dare;
    }
    if (result.isZero())
        return sheet;
    auto carried = resultSubAccount(database, result, error);
    if (!carried)
        return std::nullopt;
    if (carried->subAccountId == 0)
        return sheet;
    (result.isNegative() ? carried->dare : carried->avere) = result.abs();
    addBalances(&sheet, {*carried});
    return sheet;
}

// What a balance from the date brings forward: nothing unless the date starts a fiscal year.
std::optional<BroughtForward> broughtForwardTo(const QSqlDatabase &database, const QDate &from,
                                               QString *error)
{
    const std::optional<int> startMonth = archiveStartMonth(database, error);
    if (!startMonth)
        return std::nullopt;
    const FiscalYear year = fiscalYearContaining(from, *startMonth);
    if (year.start != from)
        return BroughtForward{};
    return broughtForward(database, year.start, year.end, error);
}

} // namespace

std::optional<std::vector<SubAccountBalance>> periodBalances(const QSqlDatabase &database,
                                                             const QDate &from, const QDate &to,
                                                             EntryFilter filter, QString *error)
{
    // Whole months come from the monthly totals, the days before the first and after the last
    // whole month from the entry rows.
    const QDate firstMonth =
        from.day() == 1 ? from : QDate(from.year(), from.month(), 1).addMonths(1);
    const QDate afterLastMonth =
        QDate(to.year(), to.month(), 1).addMonths(to.day() == to.daysInMonth() ? 1 : 0);
    std::map<qint64, SubAccountBalance> bySubAccount;
    const bool wholeMonths = firstMonth < afterLastMonth && monthlyTotalsTrusted(database);
    const bool read =
        wholeMonths
            ? addEntryRows(database, from, firstMonth.addDays(-1), filter, &bySubAccount, error) &&
                  addMonthlyTotals(database, firstMonth, afterLastMonth.addDays(-1), filter,
                                   &bySubAccount, error) &&
                  addEntryRows(database, afterLastMonth, to, filter, &bySubAccount, error)
            : addEntryRows(database, from, to, filter, &bySubAccount, error);
    if (!read)
        return std::nullopt;
    // One rule whichever way the period was read: a sub-account is listed when its debits or
    // its credits in the period come to something (the kept totals cannot tell rows that add up
    // to nothing from no rows).
    std::vector<SubAccountBalance> balances;
    balances.reserve(bySubAccount.size());
    for (auto &[id, balance] : bySubAccount)
        if (!balance.dare.isZero() || !balance.avere.isZero())
            balances.push_back(std::move(balance));
    return balances;
}

QString BalanceLine::text(bool showCodes) const
{
    return showCodes && !code.isEmpty() ? code + u' ' + description : description;
}

BalanceCaptions BalanceCaptions::fromEnvironment(const FiscalEnvironment &environment)
{
    BalanceCaptions captions;
    captions.organisation = environment.anas01;
    captions.assets = environment.attDescrizione;
    captions.liabilities = environment.pasDescrizione;
    captions.costs = environment.cosDescrizione;
    captions.revenues = environment.ricDescrizione;
    captions.memorandum = environment.coDescrizione;
    captions.balanceSheet = environment.spDescrizione;
    captions.incomeStatement = environment.ceDescrizione;
    captions.profit = environment.utileDescrizione == initialCaption(u"utileDescrizione"_s)
                          ? defaultProfit()
                          : environment.utileDescrizione;
    captions.loss = environment.perditaDescrizione == initialCaption(u"perditaDescrizione"_s)
                        ? defaultLoss()
                        : environment.perditaDescrizione;
    return captions;
}

std::optional<BalanceCaptions> readBalanceCaptions(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    bool failed = false;
    auto text = [&](const QString &key, const QString &fallback) {
        if (failed ||
            !runSql(query, u"SELECT valore FROM parametri WHERE chiave = ?"_s, {key}, error)) {
            failed = true;
            return QString();
        }
        const QString value = query.next() ? query.value(0).toString() : QString();
        return value.isEmpty() ? fallback : value;
    };
    BalanceCaptions captions;
    captions.organisation = text(u"ana01"_s, QString());
    captions.assets = text(u"attDescrizione"_s, initialCaption(u"attDescrizione"_s));
    captions.liabilities = text(u"pasDescrizione"_s, initialCaption(u"pasDescrizione"_s));
    captions.costs = text(u"cosDescrizione"_s, initialCaption(u"cosDescrizione"_s));
    captions.revenues = text(u"ricDescrizione"_s, initialCaption(u"ricDescrizione"_s));
    captions.memorandum = text(u"coDescrizione"_s, initialCaption(u"coDescrizione"_s));
    captions.balanceSheet = text(u"spDescrizione"_s, initialCaption(u"spDescrizione"_s));
    captions.incomeStatement = text(u"ceDescrizione"_s, initialCaption(u"ceDescrizione"_s));
    captions.profit = text(u"utileDescrizione"_s, defaultProfit());
    captions.loss = text(u"perditaDescrizione"_s, defaultLoss());
    if (failed)
        return std::nullopt;
    return captions;
}

PairFooter pairFooter(Money left, Money right)
{
    PairFooter footer;
    footer.leftTotal = std::max(left, right);
    footer.rightTotal = footer.leftTotal;
    if (left > right)
        footer.rightResult = left - right;
    else if (right > left)
        footer.leftResult = right - left;
    return footer;
}

PairFooter Balance::assetsAndLiabilities() const
{
    return pairFooter(section(Natures::Assets).total, section(Natures::Liabilities).total);
}

PairFooter Balance::costsAndRevenues() const
{
    return pairFooter(section(Natures::Costs).total, section(Natures::Revenues).total);
}

BalanceSection balanceSection(int nature, const std::vector<SubAccountBalance> &balances,
                              const BalanceOptions &options)
{
    std::vector<const SubAccountBalance *> selected;
    for (const SubAccountBalance &balance : balances)
        if (belongsTo(nature, balance, options))
            selected.push_back(&balance);
    std::sort(selected.begin(), selected.end(), printedBefore);

    BalanceSection section;
    section.nature = nature;
    std::vector<BalanceLine> &lines = section.lines;
    // Index of the open group, ledger and account lines; -1 when the level is not printed.
    long group = -1, ledger = -1, account = -1;
    auto open = [&](bool printed, BalanceLine line) {
        if (!printed)
            return -1L;
        lines.push_back(std::move(line));
        return long(lines.size() - 1);
    };
    const SubAccountBalance *previous = nullptr;
    for (const SubAccountBalance *balance : selected) {
        const bool newGroup = !previous || previous->ledgerGroup != balance->ledgerGroup;
        const bool newLedger = newGroup || previous->ledgerId != balance->ledgerId;
        const bool newAccount = newLedger || previous->accountId != balance->accountId;
        previous = balance;
        if (newGroup)
            group = open(options.levels[0] && !balance->ledgerGroup.isEmpty(),
                         lineOf(BalanceLine::Level::Group, {}, balance->ledgerGroup));
        if (newLedger)
            ledger = open(options.levels[1], lineOf(BalanceLine::Level::Ledger, balance->ledgerCode,
                                                    balance->ledgerDescription));
        const bool marked = balance->bilancio && nature != Natures::Memorandum;
        if (newAccount)
            account =
                open(options.levels[2], lineOf(BalanceLine::Level::Account, balance->accountCode,
                                               balance->accountDescription));

        BalanceLine subAccount =
            lineOf(BalanceLine::Level::SubAccount, {}, balance->subAccountDescription);
        if (nature == Natures::Memorandum) {
            subAccount.debit = balance->dare;
            subAccount.credit = balance->avere;
        } else {
            subAccount.amount = printedAmount(*balance, options);
        }
        for (long index : {group, ledger, account})
            if (index >= 0)
                addTo(lines[size_t(index)], subAccount);
        section.total += subAccount.amount;
        section.debitTotal += subAccount.debit;
        section.creditTotal += subAccount.credit;
        if (options.levels[3] && !(marked && options.hideMarked))
            lines.push_back(std::move(subAccount));
    }
    return section;
}

std::optional<bool> hasMemorandumLines(const QSqlDatabase &database, const QDate &from,
                                       const QDate &to, QString *error)
{
    // Driven from the few memorandum sub-accounts, not from every row of the period.
    static const QString sql = uR"(
SELECT EXISTS (SELECT 1 FROM mastri m JOIN conti c ON c.idMastro = m.id
                 JOIN sottoconti so ON so.idConto = c.id
                 JOIN regdet rd ON rd.contodare = so.id
                 JOIN regmain rm ON rm.id = rd.idRegMain
                WHERE m.tipo = 0 AND rm.data BETWEEN ? AND ?)
    OR EXISTS (SELECT 1 FROM mastri m JOIN conti c ON c.idMastro = m.id
                 JOIN sottoconti so ON so.idConto = c.id
                 JOIN regdet rd ON rd.contoavere = so.id
                 JOIN regmain rm ON rm.id = rd.idRegMain
                WHERE m.tipo = 0 AND rm.data BETWEEN ? AND ?)
)"_s;
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!runSql(query, sql, {isoDate(from), isoDate(to), isoDate(from), isoDate(to)}, error) ||
        !query.next())
        return std::nullopt;
    return query.value(0).toInt() != 0;
}

std::optional<Balance> computeBalance(const QSqlDatabase &database, const BalanceOptions &options,
                                      const BalanceCaptions &captions, QString *error)
{
    std::optional<std::vector<SubAccountBalance>> balances = periodBalances(
        database, options.dateFrom, options.dateTo,
        options.closingEntries ? EntryFilter::AllEntries : EntryFilter::WithoutClosing, error);
    if (!balances)
        return std::nullopt;
    const std::optional<bool> memorandum =
        hasMemorandumLines(database, options.dateFrom, options.dateTo, error);
    const auto forward =
        memorandum ? broughtForwardTo(database, options.dateFrom, error) : std::nullopt;
    if (!forward)
        return std::nullopt;

    Balance balance;
    balance.options = options;
    balance.captions = captions;
    balance.previousYearOpen = forward->previousYearOpen;
    addBalances(&*balances, forward->balances);
    for (int nature = Natures::Assets; nature <= Natures::Revenues; ++nature) {
        balance.sections[size_t(nature - 1)] = balanceSection(nature, *balances, options);
        balance.sections[size_t(nature - 1)].caption = sectionCaption(nature, captions);
    }
    if (*memorandum) {
        balance.memorandum = balanceSection(Natures::Memorandum, *balances, options);
        balance.memorandum->caption = captions.memorandum;
    }
    return balance;
}

void addBalances(std::vector<SubAccountBalance> *to, const std::vector<SubAccountBalance> &from)
{
    for (const SubAccountBalance &balance : from) {
        const auto same = std::find_if(to->begin(), to->end(), [&](const SubAccountBalance &b) {
            return b.subAccountId == balance.subAccountId;
        });
        if (same == to->end()) {
            to->push_back(balance);
        } else {
            same->dare += balance.dare;
            same->avere += balance.avere;
        }
    }
}

std::optional<BroughtForward> broughtForward(const QSqlDatabase &database, const QDate &yearStart,
                                             const QDate &yearEnd, QString *error)
{
    BroughtForward result;
    const auto opening =
        periodBalances(database, yearStart, yearEnd, EntryFilter::OpeningOnly, error);
    if (!opening)
        return std::nullopt;
    if (!opening->empty())
        return result;
    const FiscalYear before = fiscalYearBefore(yearStart);
    const auto closing =
        periodBalances(database, before.start, before.end, EntryFilter::ClosingOnly, error);
    if (!closing)
        return std::nullopt;
    if (!closing->empty()) {
        for (SubAccountBalance balance : *closing) {
            if (!isBalanceSheet(balance.nature))
                continue;
            std::swap(balance.dare, balance.avere);
            result.balances.push_back(std::move(balance));
        }
        return result;
    }
    const auto earlier = balancesBefore(database, yearStart, error);
    const auto sheet = earlier ? balanceSheetWithResult(database, *earlier, error) : std::nullopt;
    const auto previousHasEntries =
        sheet ? hasEntries(database, before.start, before.end, error) : std::nullopt;
    if (!previousHasEntries)
        return std::nullopt;
    result.balances = *sheet;
    result.previousYearOpen = *previousHasEntries;
    return result;
}

QString previousYearOpenNotice()
{
    return u"L'esercizio precedente non è chiuso: i saldi patrimoniali comprendono le "
           u"registrazioni degli esercizi precedenti."_s;
}

std::optional<bool> hasEntries(const QSqlDatabase &database, const QDate &from, const QDate &to,
                               QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT EXISTS (SELECT 1 FROM regmain WHERE data BETWEEN ? AND ?)"_s,
                {isoDate(from), isoDate(to)}, error) ||
        !query.next())
        return std::nullopt;
    return query.value(0).toInt() != 0;
}

std::optional<std::vector<SubAccountBalance>> balancesBefore(const QSqlDatabase &database,
                                                             const QDate &date, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT MAX(data) FROM regmain WHERE tipo = 1 AND data < ?"_s,
                {isoDate(date)}, error) ||
        !query.next())
        return std::nullopt;
    const QDate opening =
        query.value(0).isNull() ? QDate() : dateFromIso(query.value(0).toString());
    return periodBalances(
        database, opening.isValid() ? opening : QDate(1, 1, 1), date.addDays(-1),
        opening.isValid() ? EntryFilter::WithoutClosing : EntryFilter::OrdinaryOnly, error);
}
