#pragma once

#include "reportengine/ReportDefinition.h"
#include "reportengine/ReportDocument.h"
#include "reportengine/ReportLayout.h"
#include "reportengine/RowSource.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class FiscalEnvironment;

// The two layouts of the chart printout.
enum class ChartLayout : int {
    Indented = 1,    // each level further right than the one above it
    AlignedLeft = 2, // ledgers, accounts and sub-accounts on the left margin
};

// What the chart printout shows: a window or the command line fills it.
struct ChartPrintoutOptions {
    // Levels by index: group, ledger, account, sub-account (checked = shown).
    enum Level { Gruppo = 0, Mastro = 1, Conto = 2, Sottoconto = 3 };

    ChartLayout layout = ChartLayout::Indented;
    std::array<bool, 4> levels{true, true, true, true};
    QString organisation; // the heading's organisation name
    // The nature headings by the query's nature order: 1 assets, 2 liabilities, 3 costs,
    // 4 revenues, 5 memorandum accounts (index 0 unused).
    std::array<QString, 6> headings;
    // A spreadsheet gets the lines without page heading and page numbers.
    bool exporting = false;
};

// The options with the environment's organisation name and nature headings.
ChartPrintoutOptions chartPrintoutOptions(const FiscalEnvironment &environment);

// The nature headings in upper case from the environment's captions: "STATO PATRIMONIALE -
// ATTIVO" ... and the memorandum caption alone.
std::array<QString, 6> natureHeadings(const FiscalEnvironment &environment);

// The report: nature headings, then group, ledger and account lines, the sub-accounts as
// detail lines; the levels not chosen are left out.
ReportDefinition chartPrintoutDefinition(const ChartPrintoutOptions &options);

// Every ledger with its accounts and their sub-accounts, ledgers without accounts and accounts
// without sub-accounts included, by nature (memorandum ledgers last), code and description.
std::unique_ptr<RowSource> chartPrintoutRows(const QSqlDatabase &database);

// Lays the printout out; see ReportLayout::run.
bool layOutChartPrintout(const QSqlDatabase &database, const ChartPrintoutOptions &options,
                         ReportDocument *document, QString *error,
                         const LayoutProgressCallback &progress = {});
