#include "reports/MovementReportsRun.h"

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "reports/AccountCardsReport.h"
#include "reports/MovementList.h"
#include "reports/ReportCatalog.h"
#include "ui/LaidOutReport.h"
#include "ui/ReportProgressDialog.h"

ReportOptionsWindow::ReportLayout movementReportLayout(int code,
                                                       const FiscalEnvironment &environment)
{
    const bool cards = code == ReportCode::SchedeVerticale || code == ReportCode::SchedeOrizzontale;
    const QPageLayout::Orientation orientation =
        code == ReportCode::MovimentiOrizzontale || code == ReportCode::SchedeOrizzontale
            ? QPageLayout::Landscape
            : QPageLayout::Portrait;
    return [&environment, cards, orientation](const ReportSettings &settings,
                                              ReportProgressDialog &progress,
                                              QString *error) -> std::unique_ptr<PreviewDocument> {
        Connection connection(environment.archive(), Connection::Mode::ReadOnly);
        if (!connection.opened(error))
            return nullptr;
        const auto layOut = cards ? layOutAccountCards : layOutMovementList;
        ReportDocument document;
        if (!layOut(connection.database(), settings, orientation, environment.anas01, &document,
                    error, progressShownIn(progress))) {
            if (progress.wasCancelled())
                error->clear();
            return nullptr;
        }
        return std::make_unique<LaidOutReport>(std::move(document));
    };
}
