#pragma once

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/Money.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The journal book printed "in definitiva": each run of a fiscal year is recorded with where it
// ended (date, sheet, row, progressive totals), the next run continues from there, and entries
// dated on or before the last printed day of their year can no longer change.

// What the journal book prints for a period: its entry rows and their Dare and Avere, and a
// fingerprint (SHA-256) of everything printed of them: ids, dates, numbers, accounts and their
// names, amounts and texts.
struct PeriodTotals {
    qint64 rows = 0;
    Money debit;
    Money credit;
    QByteArray fingerprint;

    bool operator==(const PeriodTotals &) const = default;
};

// One final print of the journal book.
struct FinalPrint {
    qint64 id = 0;
    QDate yearStart; // the fiscal year it belongs to
    QDate yearEnd;
    QDate dateFrom;
    QDate dateTo;
    int firstSheet = 1;
    int lastSheet = 1;
    int lastPage = 1; // pages number through the fiscal year's final book
    qint64 firstRow = 1;
    qint64 lastRow = 0; // firstRow - 1 for a period without rows
    Money debit;        // progressive totals at the end of the run
    Money credit;
    QDateTime printedAt;
    QString hash; // SHA-256 of the produced file, lowercase hexadecimal
    QString file; // where the PDF was written; empty for a printer run

    bool operator==(const FinalPrint &) const = default;
};

// Where the next final print of a fiscal year starts: the day after the last one (or the year's
// first day), the next sheet and row, and the totals it carries.
struct FinalPrintStart {
    QDate dateFrom;
    int firstSheet = 1;
    int firstPage = 1;
    qint64 firstRow = 1;
    Money carriedDebit;
    Money carriedCredit;
    bool continues = false; // an earlier run of the year exists: its totals are carried
};

// The message shown for an entry that a final print has locked.
QString lockedEntryMessage();

// The statements that create the table of final prints.
const QStringList &finalPrintsSchema();
// Adds the table to an archive that lacks it. False with the engine's text in *error.
bool ensureFinalPrints(const Connection &connection, QString *error);
bool hasFinalPrints(const QSqlDatabase &database);
QString finalPrintsTable();

// The entry rows of the period dateFrom..dateTo and their sums, as the journal book prints them.
std::optional<PeriodTotals> periodTotals(const QSqlDatabase &database, const QDate &dateFrom,
                                         const QDate &dateTo, QString *error);

// The final prints of a fiscal year, oldest first (of every year when year has no start).
// Nothing with the engine's text on failure.
std::optional<QList<FinalPrint>> finalPrintsOf(const QSqlDatabase &database, const FiscalYear &year,
                                               QString *error);

// Where the next final print of the year starts.
std::optional<FinalPrintStart> nextFinalPrint(const QSqlDatabase &database, const FiscalYear &year,
                                              QString *error);

// The last day printed in definitiva of the fiscal year that contains date: nothing when the
// year has no final print (or the archive has no table for them). A failure leaves the engine's
// text in *error.
std::optional<QDate> lockedUntil(const QSqlDatabase &database, const QDate &date, QString *error);

// The refusal of a write that touches an entry dated date: lockedEntryMessage() when the date
// is printed in definitiva, else empty. A database failure gives an empty text and *error.
QString lockedDateRefusal(const QSqlDatabase &database, const QDate &date, QString *error);
// The same given the last day printed of the date's year (lockedUntil).
QString lockedDateRefusal(const std::optional<QDate> &until, const QDate &date);
// The same for the stored entry with that id (an entry that does not exist is not locked).
QString lockedEntryRefusal(const QSqlDatabase &database, qint64 entryId, QString *error);

// The finished run of the journal book, before it is recorded: the start it was laid out from,
// the period's totals, and the sheets it took.
FinalPrint finalPrintOf(const FiscalYear &year, const FinalPrintStart &start, const QDate &dateTo,
                        const PeriodTotals &totals, int pageCount, const QString &hash);

// Records a final print in one write transaction, after a copy of the archive into its backup
// folder and checking again inside it that the run
// still continues the year's last one and that the period still holds exactly the rows that
// were printed (their fingerprint). On success the record carries its id and time. False with
// the reason in *error: nothing recorded.
bool recordFinalPrint(const Archive &archive, FinalPrint &print, const QByteArray &fingerprint,
                      QString *error);

// Removes the last final print of the year, unlocking its period, after a copy of the archive
// into its backup folder, provided it is still the one
// with printId that the user confirmed (another user may have recorded one meanwhile). False
// with the reason in *error otherwise, or on failure.
bool undoLastFinalPrint(const Archive &archive, const FiscalYear &year, qint64 printId,
                        QString *error);
