#pragma once

#include "reportengine/ReportDefinition.h"
#include "reportengine/ReportDocument.h"
#include "reportengine/ReportLayout.h"
#include "reports/ReportSettings.h"

#include <QPageLayout>
#include <QSet>
#include <QSqlDatabase>
#include <QString>

#include <optional>

// The account cards: one card per sub-account with its movements of the period, the card's
// balance on its header, the progressive balance on every line and the card's totals at its
// foot. Cards follow the sub-account's id, so two sub-accounts of one name never share a card
// or a balance; their captions then carry the account's code. Every card is an entry of the
// table of contents. The spreadsheet form (settings.output Excel) has one row per movement, each
// with its card, and no page header or footer.

// The descriptions that more than one sub-account of the chart bears. Returns nothing with the
// engine's text in *error.
std::optional<QSet<QString>> sharedSubAccountNames(const QSqlDatabase &database, QString *error);

// "Cassa", or "Cassa (101001)" for a description that several sub-accounts bear.
QString accountCardCaption(const QString &description, const QString &accountCode,
                           const QSet<QString> &sharedNames);

// The cards over the rows of accountCardsStatement.
ReportDefinition accountCardsDefinition(const ReportSettings &settings,
                                        QPageLayout::Orientation orientation,
                                        const QString &organisation, QSet<QString> sharedNames);

// Lays the cards out over settings.source, which holds accountCardsStatement(settings); see
// ReportLayout::run.
bool layOutAccountCards(const QSqlDatabase &database, const ReportSettings &settings,
                        QPageLayout::Orientation orientation, const QString &organisation,
                        ReportDocument *document, QString *error,
                        const LayoutProgressCallback &progress = {});
