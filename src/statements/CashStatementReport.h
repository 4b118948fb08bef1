#pragma once

#include "reportengine/ReportDocument.h"
#include "statements/CashStatement.h"
#include "statements/StatementExport.h"

#include <QByteArray>
#include <QStringList>

// The cash-basis statement as scripts read it: every line with its two years' amounts, what is
// not classified, cash and bank at both ends, the surplus and the difference, as exact decimal
// texts.
QByteArray cashStatementJson(const CashStatement &statement, const StatementYears &years);

// The warnings of both years about what no line takes, current year first; empty when none.
QStringList cashStatementWarnings(const CashStatement &statement, const StatementYears &years);

// The statement laid out on pages, its warnings above it, under the organisation's name, with its
// check; an exported one (a spreadsheet) carries no page header.
bool layOutCashStatement(const CashStatement &statement, const StatementYears &years,
                         const QString &organisation, bool exporting, ReportDocument *document,
                         QString *error);
