#pragma once

#include "data/Money.h"
#include "data/Parameters.h"
#include "reportengine/ReportDefinition.h"
#include "reportengine/ReportDocument.h"
#include "reportengine/ReportLayout.h"
#include "reportengine/RowSource.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>

// What the journal book prints: a window or the command line fills it.
struct JournalBookOptions {
    QDate dateFrom;
    QDate dateTo;
    int firstSheet = 1;     // the sheet number of the first page
    int firstPage = 1;      // the page number of the first page within the fiscal year's book
    bool final = false;     // printed in definitiva; any other print says "Stampa di prova"
    bool showCodes = false; // each sub-account after its account's code
    qint64 firstRow = 1;    // the row counter of the first line
    bool carries = false;   // a continued book: the first page shows the totals carried
    Money carriedDebit;     // progressive totals of the earlier runs, where this run's start
    Money carriedCredit;
    QString yearLabel; // "2024", or "2023-2024" for a year across two calendar years
    OrganisationLines organisation;
    bool spreadsheet = false; // exported to a spreadsheet, which takes the lines' typed cells
};

// "2024" when the fiscal year lies in one calendar year, else "2023-2024".
QString journalYearLabel(const QDate &yearStart, const QDate &yearEnd);
// The label of the fiscal year (years starting on the 1st of startMonth) that holds the period;
// a period across two fiscal years names both ("2024 e 2025").
QString periodYearLabel(const QDate &from, const QDate &to, int startMonth);

// The options for the fiscal year that contains the working date (the archive's StartMonth),
// with the organisation's lines and sheet 1. Returns nothing with the reason in *error.
std::optional<JournalBookOptions> journalBookDefaults(const QSqlDatabase &database,
                                                      const QDate &workingDate, QString *error);

// The layout of the book: heading, sheet and page numbers, the carried totals ("Riporto") on
// the first page of a continued book, one line per entry row with the row counter, and the
// progressive totals at every page foot.
ReportDefinition journalBookDefinition(const JournalBookOptions &options);

// Every entry row of the period in date, entry number, entry and row order.
std::unique_ptr<RowSource> journalBookRows(const QSqlDatabase &database,
                                           const JournalBookOptions &options);

// Lays the book out; see ReportLayout::run.
bool layOutJournalBook(const QSqlDatabase &database, const JournalBookOptions &options,
                       ReportDocument *document, QString *error,
                       const LayoutProgressCallback &progress = {});
