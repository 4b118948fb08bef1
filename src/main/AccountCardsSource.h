#pragma once

#include "main/AccountCards.h"
#include "ui/grid/GroupedGridModel.h"

// The account cards as lines of the grouped grid: three group levels (nature, account,
// sub-account) captioned with their balances in the formatter's locale, the group's balance
// under "Saldo prog.vo " and negative credits in red. The cards must outlive the source.
GroupedGridModel::Source accountCardsSource(const AccountCards &cards,
                                            const QStringList &natureNames,
                                            const PatternFormatter &formatter);
