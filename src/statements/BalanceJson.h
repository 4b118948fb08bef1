#pragma once

#include "statements/BalanceReports.h"
#include "statements/BalanceSections.h"

#include <QByteArray>

// An amount as an exact decimal text with a point and at least two decimals: "1234.56",
// "-0.50", "12.3456".
QString decimalText(Money amount);

// Every printed line of the balance (section, level, code, description, amount or debit and
// credit), every section total and, for the opposed balance, every pair's totals and result.
QByteArray balanceJson(const Balance &balance, BalanceKind kind);
