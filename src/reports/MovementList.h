#pragma once

#include "reportengine/ReportDefinition.h"
#include "reportengine/ReportDocument.h"
#include "reportengine/ReportLayout.h"
#include "reportengine/RowSource.h"
#include "reports/ReportSettings.h"

#include <QPageLayout>
#include <QSqlDatabase>
#include <QString>

#include <memory>

// The movement list: every entry row of the period, entry by entry in number order, optionally
// only the entries that touch the sub-accounts or accounts of the settings' filter (such an
// entry is listed with all its rows). The date and number stand on an entry's first row only;
// the spreadsheet form (settings.output Excel) has no page header or footer and carries them on
// every row.

// The rows' statement: entry id, number, date, debit and credit sub-accounts, amount, row
// description and whether the row is its entry's first. The filter reaches it as bound ids,
// so an entry list never grows inside the text; a filter that no entry meets lists nothing.
BoundSql movementListStatement(const ReportSettings &settings);

std::unique_ptr<RowSource> movementListRows(const QSqlDatabase &database,
                                            const ReportSettings &settings);

ReportDefinition movementListDefinition(const ReportSettings &settings,
                                        QPageLayout::Orientation orientation,
                                        const QString &organisation);

// Lays the list out; see ReportLayout::run.
bool layOutMovementList(const QSqlDatabase &database, const ReportSettings &settings,
                        QPageLayout::Orientation orientation, const QString &organisation,
                        ReportDocument *document, QString *error,
                        const LayoutProgressCallback &progress = {});
