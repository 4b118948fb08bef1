#pragma once

class QSqlQuery;

#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

// Which entries a balance counts, by entry type (`regmain.tipo`: -1 closing, 0 ordinary,
// 1 opening).
enum class EntryFilter {
    AllEntries,
    WithoutClosing,
    OrdinaryOnly,
    OpeningOnly,
    ClosingOnly,
};

// The lowest and highest entry type a filter admits.
std::pair<int, int> entryTypeRange(EntryFilter filter);

// The movements of one sub-account over a period, with its place in the chart.
struct SubAccountBalance {
    qint64 subAccountId = 0;
    QString subAccountDescription;
    qint64 accountId = 0;
    QString accountCode;
    QString accountDescription;
    qint64 ledgerId = 0;
    QString ledgerCode;
    QString ledgerDescription;
    QString ledgerGroup;
    int nature = 0;
    bool bilancio = false;
    Money dare;
    Money avere;

    Money saldo() const;
    Money saldo2() const;
};

// Fills the chart fields of a line from a query whose columns 1 to 10 are, in order: the
// sub-account's description, the account's id, code and description, the ledger's id, code,
// description and group, its nature and the account's balance flag.
void readChartFields(const QSqlQuery &query, SubAccountBalance *line);

// The balance of every sub-account with movements between from and to (both included) in the
// entries the filter admits, ordered by ledger code, account code and sub-account id. Reads the
// entry tables directly, so one call costs one pass over the period's rows. Returns false with
// the engine's text in *error; *balances is then left empty.
bool subAccountBalances(const QSqlDatabase &db, const QDate &from, const QDate &to,
                        EntryFilter filter, std::vector<SubAccountBalance> *balances,
                        QString *error = nullptr);

// The balance (debit less credit) of the sub-accounts at the start of a day (atEndOfDay false) or
// at its end: the latest opening entry up to then and the ordinary entries since, closings left
// out; without an opening entry, every ordinary entry before. Nothing, with the engine's text.
std::optional<Money> balanceAt(const QSqlDatabase &database, const QList<qint64> &subAccounts,
                               const QDate &date, bool atEndOfDay, QString *error);
