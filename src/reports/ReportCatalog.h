#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// The accounting reports the options window offers, by code.
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
};
} // namespace ReportCode

struct ReportEntry {
    int code = 0;
    int icon = 1; // 1 a list of movements, 2 a balance
    QString name;
    QString note; // shown under the list when the report is selected
};

// The reports in list order (line k is code k).
const QList<ReportEntry> &reportCatalog();
// The report of a code; nothing for a code that is not in the list.
std::optional<ReportEntry> reportEntry(int code);

// Which option frames a report shows.
bool showsAccountFilter(int code);
bool showsJournalOptions(int code);
bool showsBalanceOptions(int code);

// The first sheet number typed in the journal options: digits only and within the book's
// 16-bit numbering; nothing otherwise.
std::optional<int> parseSheetNumber(const QString &text);
