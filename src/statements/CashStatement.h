#pragma once

#include "data/Money.h"
#include "statements/BalanceTables.h"

#include <QDate>
#include <QHash>
#include <QSqlDatabase>
#include <QString>

#include <optional>
#include <vector>

// One year of the cash-basis statement. Every row of an ordinary entry on a cash or bank
// sub-account is a receipt or a payment, classified by the entry's other rows: a cost, revenue,
// fixed asset, loan or fund by its own line; a receivable or payable by the entries that booked
// it, oldest first; a transfer between cash and bank is neither. What no line takes stays
// unclassified, outside the lines.
// An entry of the year, by its number (0 when unnumbered) and date.
struct CashStatementEntry {
    qint64 number = 0;
    QDate date;
    bool operator==(const CashStatementEntry &) const = default;
};

struct CashStatementYear {
    std::vector<Money> rows; // by index in cashStatementRows(), totals included
    Money unclassified;      // receipts less payments that no line takes
    std::vector<CashStatementEntry> unclassifiedEntries; // where they come from, in date order
    Money cashStart;                                     // cash and bank at the start of the year
    Money cashEnd;                                       // and at its end

    Money row(const QString &id) const;
    Money surplus() const;    // the overall surplus (deficit when negative)
    Money difference() const; // the change in cash and bank less the surplus
};

struct CashStatement {
    CashStatementYear current;
    CashStatementYear previous;
};

// The statement of both years; nothing with the engine's text in *error.
std::optional<CashStatement> computeCashStatement(const QSqlDatabase &database,
                                                  const BalanceTables::Period &current,
                                                  const BalanceTables::Period &previous,
                                                  QString *error);

// What the user must be told when a year holds receipts or payments that no line takes: how
// much, from how many entries and which ones first; empty when everything is classified.
QString unclassifiedWarning(const CashStatementYear &year, const QString &yearLabel);

// The figures a template may ask for, by id: every row of the statement, "CBI" for cash and
// bank at the start of the year and "DC" for what is not classified.
QHash<QString, Money> cashStatementFigures(const CashStatementYear &year);
