#pragma once

#include "data/Database.h"
#include "statements/BalanceTables.h"
#include "statements/WorkbookFiller.h"

#include <QString>

class FiscalEnvironment;

// The current and the previous fiscal year, the two periods a template asks for.
struct StatementYears {
    BalanceTables::Period current;
    BalanceTables::Period previous;

    static StatementYears of(const FiscalEnvironment &environment);
};

// "2025", or "2024/2025" for a year across two calendar years.
QString statementYearLabel(const BalanceTables::Period &year);
// "Esercizio " and the year's label.
QString statementYearHeading(const BalanceTables::Period &year);

// Reads the balances of both years from the archive's database, fills the loaded template and
// saves the workbook as out. Returns false with an Italian message in *error; nothing is saved
// then. *notice gets what the user must know of the figures (balances brought forward from a
// year not yet closed), else empty.
bool generateStatement(WorkbookFiller &filler, const Archive &archive, const StatementYears &years,
                       const QString &out, const WorkbookFiller::Tick &tick = {},
                       QString *error = nullptr, QString *notice = nullptr);

// What the save dialog offers for a template: the filter and the suffix added to a name typed
// without one. Templates and workbooks (.xltx, .xlsx) give .xlsx files; other extensions give no
// default.
struct SaveChoice {
    QString filter;
    QString suffix;
};
SaveChoice saveChoiceFor(const QString &templatePath);
