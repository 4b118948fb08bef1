#pragma once

#include "data/Money.h"

#include <QString>

// The five natures of a ledger (`mastri.tipo`) and how each signs its balances.
namespace Natures {

constexpr int Memorandum = 0; // conti d'ordine
constexpr int Assets = 1;
constexpr int Liabilities = 2;
constexpr int Costs = 3;
constexpr int Revenues = 4;

bool isValid(int nature);

// "Conti d'ordine", "Attività", "Passività", "Costi", "Ricavi"; empty for an unknown nature.
QString name(int nature);

// Debit minus credit for memorandum, assets and liabilities; credit minus debit for costs and
// revenues.
Money saldo(int nature, Money dare, Money avere);

// The balance on the nature's own side: debit minus credit for memorandum, assets and costs;
// credit minus debit for liabilities and revenues.
Money saldo2(int nature, Money dare, Money avere);

// Order of the natures in lists and statements: assets, liabilities, costs, revenues, then the
// memorandum accounts; unknown natures last.
int sortRank(int nature);

} // namespace Natures
