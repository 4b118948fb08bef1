#pragma once

#include "data/Balances.h"
#include "data/Money.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class FiscalEnvironment;

// What a balance prints: the print window or the command line fills it.
struct BalanceOptions {
    QDate dateFrom;
    QDate dateTo;
    // Printed levels: group, ledger, account, sub-account.
    std::array<bool, 4> levels{true, true, true, true};
    bool showCodes = false;      // ledger and account lines start with their code
    bool fixedColumns = false;   // sections by ledger nature instead of by balance side
    bool hideMarked = false;     // flagged accounts print their total without sub-accounts
    bool closingEntries = false; // the year-end closing entries are counted
    bool zeroBalances = false;   // sub-accounts whose movements cancel out are listed
};

// The archive's captions of the sections and results, and the organisation's name.
struct BalanceCaptions {
    QString organisation;
    QString assets, liabilities, costs, revenues, memorandum;
    QString balanceSheet, incomeStatement;
    QString profit, loss;

    static BalanceCaptions fromEnvironment(const FiscalEnvironment &environment);
};

// Reads the captions from the archive's parameters, with the usual defaults for those not set.
std::optional<BalanceCaptions> readBalanceCaptions(const QSqlDatabase &database, QString *error);

// One printed line of a section.
struct BalanceLine {
    enum class Level { Group, Ledger, Account, SubAccount };
    Level level = Level::SubAccount;
    QString code; // ledger and account lines
    QString description;
    Money amount; // nature sections: as printed (no sign by balance side)
    Money debit;  // memorandum section
    Money credit;

    // The printed text: code and description when codes are shown.
    QString text(bool showCodes) const;
};

struct BalanceSection {
    int nature = 0; // 1 assets .. 4 revenues, 0 memorandum accounts
    QString caption;
    std::vector<BalanceLine> lines;
    Money total;       // nature sections
    Money debitTotal;  // memorandum section
    Money creditTotal; // memorandum section
};

// The footer of a pair of opposed sections: equal totals on both sides, the result under the
// smaller one.
struct PairFooter {
    Money leftTotal;
    Money rightTotal;
    std::optional<Money> leftResult;
    std::optional<Money> rightResult;
};
PairFooter pairFooter(Money left, Money right);

struct Balance {
    BalanceOptions options;
    bool previousYearOpen = false; // balance-sheet lines brought forward from an open year
    BalanceCaptions captions;
    std::array<BalanceSection, 4> sections;   // assets, liabilities, costs, revenues
    std::optional<BalanceSection> memorandum; // only when the period has memorandum lines

    const BalanceSection &section(int nature) const { return sections[size_t(nature - 1)]; }
    PairFooter assetsAndLiabilities() const;
    PairFooter costsAndRevenues() const;
};

// The lines of nature section 1-4 (or 0 for the memorandum accounts) from the sub-account
// balances of the period, one line per sub-account and a total line for every group, ledger
// and account; levels left out by the options are not listed, their totals still count.
BalanceSection balanceSection(int nature, const std::vector<SubAccountBalance> &balances,
                              const BalanceOptions &options);

// The balance of every sub-account with movements between from and to, in the entries the
// filter admits: whole months from the monthly totals when the archive keeps them, the other
// days from the entry rows. Returns nothing with the engine's text in *error.
std::optional<std::vector<SubAccountBalance>> periodBalances(const QSqlDatabase &database,
                                                             const QDate &from, const QDate &to,
                                                             EntryFilter filter, QString *error);

// What a fiscal year brings forward when it has no opening entry of its own (the usual state
// until the year before is closed): the balance-sheet balances at its start, before the closing
// of the year before when that was closed, else from the latest opening entry and the ordinary
// entries since (every ordinary entry when there is none). The earlier years' results not yet
// closed go to the sub-account the year-end would give them ("utile" or "perdita"), so that the
// sheet balances. Empty for a year with opening entries.
struct BroughtForward {
    std::vector<SubAccountBalance> balances;
    bool previousYearOpen = false; // the year before holds entries and no closing
};
std::optional<BroughtForward> broughtForward(const QSqlDatabase &database, const QDate &yearStart,
                                             const QDate &yearEnd, QString *error);

// Whether any entry, of any type, is dated between the two days.
std::optional<bool> hasEntries(const QSqlDatabase &database, const QDate &from, const QDate &to,
                               QString *error);

// The balances before a day: the latest opening entry before it and the entries since, closings
// left out; every ordinary entry before it when no opening entry is.
std::optional<std::vector<SubAccountBalance>> balancesBefore(const QSqlDatabase &database,
                                                             const QDate &date, QString *error);

// Adds the movements of the second list to the first, sub-account by sub-account.
void addBalances(std::vector<SubAccountBalance> *to, const std::vector<SubAccountBalance> &from);

// The line told wherever balance-sheet figures come from a year not yet closed.
QString previousYearOpenNotice();

// Whether any entry of the period, of any type, moves a memorandum sub-account.
std::optional<bool> hasMemorandumLines(const QSqlDatabase &database, const QDate &from,
                                       const QDate &to, QString *error);

// The whole balance of the period. Returns nothing with the engine's text in *error.
std::optional<Balance> computeBalance(const QSqlDatabase &database, const BalanceOptions &options,
                                      const BalanceCaptions &captions, QString *error);
