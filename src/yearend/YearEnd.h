#pragma once

#include "data/Balances.h"
#include "data/Database.h"
#include "data/JournalGate.h"
#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

class FiscalEnvironment;

// The previous fiscal year, closed, and the current one, opened.
struct YearEndYears {
    QDate prevStart, prevEnd, curStart, curEnd;
    static YearEndYears of(const FiscalEnvironment &environment);
};

// What the year-end writes with: dates, descriptions and the sub-accounts it posts to
// (0 when none is chosen).
struct YearEndInput {
    QDate closingDate;
    QDate openingDate;
    QString economicClosing = QStringLiteral("Chiusura Conto economico");
    QString patrimonialClosing = QStringLiteral("Chiusura Stato patrimoniale");
    QString opening = QStringLiteral("Apertura Stato patrimoniale");
    qint64 closingBalance = 0; // "bilanciochiusura", natures 1-2
    qint64 profitAndLoss = 0;  // "profittieperdite", natures 3-4
    qint64 openingBalance = 0; // "bilancioapertura", natures 1-2
    qint64 profitOrLoss = 0;   // "utile" or "perdita", natures 1-2
};

// A line of a sub-account drop-down: "sub-account < ledger".
struct SubAccountChoice {
    qint64 id;
    QString text;
};

// The sub-accounts of the balance sheet (natures 1-2) or of the income statement (3-4),
// sorted by their text.
QList<SubAccountChoice> yearEndChoices(const Archive &archive, bool balanceSheet, QString *error);

// The message that keeps the year-end from starting (no entry in the previous year, or closing
// or opening entries already there); empty when it may start. A database failure gives an empty
// message and the engine's text in *error.
QString yearEndRefusal(const Archive &archive, const YearEndYears &years, QString *error);
// The same read on a connection the caller holds.
QString yearEndRefusal(const Connection &connection, const YearEndYears &years, QString *error);

// The previous year's result: the sum of saldo of the balance-sheet lines, zero when there is
// none. Greater than zero is a profit.
std::optional<Money> yearResult(const Archive &archive, const YearEndYears &years, QString *error);
std::optional<Money> yearResult(const Connection &connection, const YearEndYears &years,
                                QString *error);

// The inputs of a new year-end: the default dates and descriptions and the sub-accounts named
// by the archive's role parameters (utile for a profit or zero, perdita for a loss); a
// parameter that names no sub-account of the right list leaves 0.
YearEndInput yearEndDefaults(const Archive &archive, const YearEndYears &years, Money result,
                             const QList<SubAccountChoice> &balanceSheet,
                             const QList<SubAccountChoice> &incomeStatement);

// Every input error, each a line starting with "- ", in a fixed order; empty when valid.
QStringList yearEndProblems(const YearEndInput &input, const YearEndYears &years);

// Writes the year-end journal entries through the journal gate on a connection the caller holds
// in a transaction. The entries carry no number; the caller renumbers both years.
// The previous year's debits and credits of each sub-account that moved in it, by id.
using PreviousYearLines = QMap<qint64, SubAccountBalance>;

class YearEndGenerator {
public:
    YearEndGenerator(const Connection &connection, const YearEndInput &input,
                     const YearEndYears &years, Money result);

    // Reads the previous year's lines the passes work on; first, inside the transaction.
    bool readPreviousYear(QString *error);
    // The previous year's result as read.
    Money previousYearResult() const;

    // The current year opens each balance-sheet balance of the previous year, the result
    // included: it opens on the profit or loss sub-account, so the opening balances net to zero.
    bool writeOpening(QString *error);
    // Income-statement balances closed against the profit-and-loss sub-account.
    bool closeIncomeStatementAccounts(QString *error);
    // Balance-sheet balances closed against the closing-balance sub-account.
    bool closeBalanceSheetAccounts(QString *error);
    // The result moved to the profit or loss sub-account and closed; nothing for a zero result.
    bool recordResult(QString *error);

    // Ids of the entries written, in order.
    const QList<qint64> &written() const { return m_written; }

private:
    struct Pass {
        QList<int> natures;
        QDate date;
        EntryKind kind;
        QVariant headerText;
        bool accountOnDebitWhenPositive;
        qint64 counter;
        QString positiveText;
        QString negativeText;
        bool carriesResult = false;
    };
    bool balancedEntries(const Pass &pass, QString *error);
    bool writeEntry(const QDate &date, EntryKind kind, const QVariant &headerText,
                    const QList<EntryRow> &rows, QString *error);
    // Keeps the previous year's lines as a new read would give them after rows written into it.
    bool addToPreviousYear(const QList<EntryRow> &rows, QString *error);

    const Connection &m_connection;
    YearEndInput m_input;
    YearEndYears m_years;
    Money m_result;
    PreviousYearLines m_previousYear;
    QList<qint64> m_written;
};

// The whole year-end, after a copy of the archive into its backup folder (a copy that fails stops
// it), in one write transaction: the refusal checks and the result read again
// inside it, the four steps in their order, then the removal of headers without rows and the
// renumbering of both years. When the archive changed since result was read (closing or opening
// entries now exist, or the result differs) nothing is written and *error says so in Italian;
// on any failure nothing is kept and *error holds the reason. Returns the ids of the entries
// written.
std::optional<QList<qint64>> runYearEnd(const Archive &archive, const YearEndInput &input,
                                        const YearEndYears &years, Money result, QString *error);

// The two years whose year-end a reopening from the working date undoes: the previous and the
// current year when the current one holds the opening entries; the current and the next when the
// working date lies in a closed year (where a save into it sends the user). Nothing, with the
// engine's text in *error, on a failure.
std::optional<YearEndYears> yearsToReopen(const Connection &connection, const YearEndYears &years,
                                          QString *error);

// The message that keeps the last year-end, between the previous and the current fiscal year,
// from being undone: there is none, or its closing or opening entries are printed in definitiva.
// Empty when it may be undone; a database failure gives an empty message and *error.
QString reopenRefusal(const Connection &connection, const YearEndYears &years, QString *error);

// Undoes the last year-end after a copy of the archive into its backup folder (its path into
// *backup): deletes the closing entries of the previous year and the opening entries of the
// current one, and renumbers both years, in one write transaction. False with the refusal or the
// failure in *error: nothing changed.
bool reopenYear(const Archive &archive, const YearEndYears &years, QString *backup, QString *error);
