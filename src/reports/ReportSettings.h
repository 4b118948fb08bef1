#pragma once

#include "reportengine/ReportExport.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariantList>

#include <array>

// The account filter: the chosen sub-accounts or the chosen accounts, by id.
enum class FilterLevel : int { Sottoconto = 0, Conto = 1 };

// A piece of SQL with its bound values, in the order of its placeholders.
struct BoundSql {
    QString sql;
    QVariantList values;
};

// The one set of report options of the program: written by the options window at every run and
// read by every accounting report. Nothing in it is text typed by the user: the filters are ids
// and the period is two dates, and both reach statements only as bound values.
struct ReportSettings {
    // Levels by index: group, ledger, account, sub-account.
    enum Level { Gruppo = 0, Mastro = 1, Conto = 2, Sottoconto = 3 };

    QDate dateFrom;
    QDate dateTo;
    FilterLevel filterLevel = FilterLevel::Sottoconto;
    // The position chosen in each of the three filter lists, 0 for "(nessun filtro)".
    std::array<int, 3> filterIndex = {0, 0, 0};
    // The chosen ids of the filter, in list order; at most one of the two is filled.
    QList<qint64> subAccountIds;
    QList<qint64> accountIds;
    bool hideMarked = false;
    bool zeroBalances = false;
    bool closingEntries = false;
    bool fixedColumns = false;
    bool showCodes = false;
    std::array<bool, 4> levels = {true, true, true, true};
    // The sheet number of the journal book's first page.
    int firstSheet = 1;
    // The journal book names each sub-account after its account's code.
    bool journalCodes = false;
    // The data statement the options window builds for the reports that take it (the account
    // cards); empty for the reports that build their own.
    BoundSql source;
    ReportOutput output = ReportOutput::Print;
    // True while an export is being produced.
    bool exporting = false;

    // The check boxes reset each time the options window opens.
    void resetBalanceOptions();
    // Sets the filter from the ids of the lists' chosen positions (0 where a list has none):
    // the ids of the leading lists that have a choice, into the list of the level's kind.
    void setFilter(FilterLevel level, const std::array<int, 3> &positions,
                   const std::array<qint64, 3> &ids);
    bool hasAccountFilter() const { return !subAccountIds.isEmpty() || !accountIds.isEmpty(); }
};

// " IN (?, ?)" with one placeholder per id; empty for no ids.
QString inPlaceholders(qsizetype count);

// The account cards' statement over the view schede for the period and the filter of the
// settings, in card order (sub-account description and id, date, entry number). Columns: Conto
// (the sub-account's description), Prog, Data, Dare, Avere, saldo, Contropartita, Descrizione,
// IdSottoconto and CodiceConto (the code of the sub-account's account).
BoundSql accountCardsStatement(const ReportSettings &settings);
