#pragma once

#include "data/Database.h"

#include <QString>

// The accounts flagged "Disponibilità liquide" (conti.liquidita) hold the cash and bank
// sub-accounts: the chart says which they are, never a code in the program.

// Adds the flag to an archive made before it, once: the accounts whose codes the shipped charts
// of accounts (chartsPath, the program's pdc.gen) flag get it, every other account starts
// without. Nothing happens to an archive that has the flag. False with the engine's text.
bool ensureCashFlag(const Connection &connection, const QString &chartsPath, QString *error);
