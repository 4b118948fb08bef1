#pragma once

#include "data/Database.h"
#include "data/FinalPrints.h"
#include "reportengine/ReportDocument.h"
#include "reports/JournalBook.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

// A final print of the journal book, ready to lay out: the run it continues from, the period
// it covers and what that period holds.
struct FinalJournalPrint {
    FiscalYear year;
    FinalPrintStart start;
    QDate dateTo;
    PeriodTotals totals;
    JournalBookOptions options; // the book of this run: period, sheet, row, carried totals
};

// The date a final print of the year ends on unless the user chooses another: the date of the
// year's last entry. Invalid when the year has no entry.
std::optional<QDate> lastEntryDate(const QSqlDatabase &database, const FiscalYear &year,
                                   QString *error);

// Prepares the next final print of the year up to dateTo (invalid: the year's last entry
// date). Refused, with the Italian reason in *error, when dateTo lies before the start or after
// the year, when the period holds no entry row, or when the entries up to dateTo are not
// numbered in order (their numbers could no longer be corrected once printed).
std::optional<FinalJournalPrint> prepareFinalPrint(const Connection &connection,
                                                   const FiscalYear &year, const QDate &dateTo,
                                                   const OrganisationLines &organisation,
                                                   QString *error);

// A final print and its pages, ready for the printer or a PDF file.
struct LaidOutFinalPrint {
    FinalJournalPrint run;
    ReportDocument document;
};

// The next final print of the year up to dateTo (invalid: the year's last entry date), prepared
// as prepareFinalPrint does and laid out, both from one state of the archive: the run's totals,
// its fingerprint and its pages agree even while others write. Nothing with the reason in
// *error. The caller then writes or prints the pages and records the run.
std::optional<LaidOutFinalPrint> layOutFinalPrint(const Connection &connection,
                                                  const FiscalYear &year, const QDate &dateTo,
                                                  bool showCodes, QString *error,
                                                  const LayoutProgressCallback &progress = {});

// SHA-256, lowercase hexadecimal, of a file's content; empty with the reason in *error when it
// cannot be read.
QString fileSha256(const QString &path, QString *error);
// SHA-256 of the laid-out pages' text: what a printer run is recorded with, since the printer
// leaves no file. Laying the same period out again gives the same value.
QString documentSha256(const ReportDocument &document);

// Records the run after its output succeeded, with the hash of what was produced and the file
// it went to (empty for a printer).
std::optional<FinalPrint> recordFinalJournal(const Archive &archive, const FinalJournalPrint &run,
                                             const ReportDocument &document, const QString &hash,
                                             const QString &file, QString *error);

// Writes the laid-out run to a PDF file and records it. The PDF is written as <fileName>.part
// and takes its name only once the run is recorded: a failed write or a refused record (the
// archive changed meanwhile) leaves no unrecorded final copy and any earlier file at fileName
// as it was. Nothing with the reason in *error.
std::optional<FinalPrint> writeFinalJournalPdf(const Archive &archive, const FinalJournalPrint &run,
                                               const ReportDocument &document,
                                               const QString &fileName, QString *error);

// Finishes what a crash between recording a final print and naming its PDF left behind: a
// "<file>.part" beside a recorded print's file whose hash is the record's takes the file's
// name; any other one (a run that was never recorded) is removed. Returns the files completed.
QStringList completeFinalPrintFiles(const QSqlDatabase &database, QString *error);
