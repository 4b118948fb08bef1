#pragma once

#include "reportengine/ReportDefinition.h"
#include "reportengine/ReportDocument.h"
#include "reportengine/ReportLayout.h"
#include "statements/BalanceSections.h"

#include <QSqlDatabase>

enum class BalanceKind {
    Sequential, // "Bilancio": the sections one after the other
    Opposed,    // "Bilancio a Sezioni contrapposte": assets beside liabilities, costs beside
                // revenues
};

// The fonts of the balances and statements: body, bold, heading, title.
std::vector<ReportFont> balanceFonts();

// The sequential balance; an exported one carries no page header.
ReportDefinition sequentialBalanceDefinition(const Balance &balance, bool exporting);
// The opposed balance: each pair of sections side by side, closed by equal totals and the
// result under the smaller side.
ReportDefinition opposedBalanceDefinition(const Balance &balance);

// Lays out a balance already computed; see ReportLayout::run.
bool layOutBalance(const Balance &balance, BalanceKind kind, bool exporting,
                   ReportDocument *document, QString *error,
                   const LayoutProgressCallback &progress = {});

// Computes the balance of the period from the archive and lays it out.
bool layOutBalance(const QSqlDatabase &database, BalanceKind kind, const BalanceOptions &options,
                   const BalanceCaptions &captions, bool exporting, ReportDocument *document,
                   QString *error, const LayoutProgressCallback &progress = {});
