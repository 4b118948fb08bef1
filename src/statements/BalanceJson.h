#pragma once

#include "statements/BalanceReports.h"
#include "statements/BalanceSections.h"

#include <QByteArray>

// Every printed line of the balance (section, level, code, description, amount or debit and
// credit), every section total and, for the opposed balance, every pair's totals and result.
QByteArray balanceJson(const Balance &balance, BalanceKind kind);
