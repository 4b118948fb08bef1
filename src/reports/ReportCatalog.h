#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// The program's reports, by code: the options window offers the first eight.
namespace ReportCode {
enum : int {
    MovimentiVerticale = 1,
    MovimentiOrizzontale = 2,
    SchedeVerticale = 3,
    SchedeOrizzontale = 4,
    Bilancio = 5,
    BilancioSezioniContrapposte = 6,
    GiornaleContabile = 7,
    RendicontoCassa = 8,
    RiconciliazioneBancaria = 9,
    PianoDeiConti = 10,
};
} // namespace ReportCode

struct ReportEntry {
    int code = 0;
    int icon = 1; // 1 a list of movements, 2 a balance
    QString name;
    QString note;        // shown under the options window's list when the report is selected
    QString commandName; // what "tovrin3-cli report" calls it
    bool writesJson = false;
    bool inOptionsWindow = true;
};

// Every report, in code order.
const QList<ReportEntry> &reportCatalog();
// The reports of the options window's list, in list order (line k is code k).
QList<ReportEntry> optionsWindowReports();
// The report the command line names; nothing for a name that is not in the catalog.
std::optional<ReportEntry> reportNamed(const QString &commandName);
// The report of a code; nothing for a code that is not in the list.
std::optional<ReportEntry> reportEntry(int code);

// Which option frames a report shows.
bool showsAccountFilter(int code);
bool showsJournalOptions(int code);
bool showsBalanceOptions(int code);

// The first sheet number typed in the journal options: digits only and within the book's
// 16-bit numbering; nothing otherwise.
std::optional<int> parseSheetNumber(const QString &text);
