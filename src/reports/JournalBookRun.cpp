#include "reports/JournalBookRun.h"

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "reports/JournalBook.h"
#include "ui/LaidOutReport.h"
#include "ui/ReportProgressDialog.h"

using namespace Qt::StringLiterals;

std::unique_ptr<PreviewDocument> runJournalBook(const ReportSettings &settings,
                                                const FiscalEnvironment &environment,
                                                ReportProgressDialog &progress, QString *error)
{
    JournalBookOptions options;
    options.dateFrom = settings.dateFrom;
    options.dateTo = settings.dateTo;
    options.firstSheet = settings.firstSheet;
    options.showCodes = settings.journalCodes;
    options.yearLabel =
        periodYearLabel(settings.dateFrom, settings.dateTo, environment.startMonth());
    options.organisation = environment.organisation();
    options.spreadsheet = settings.output == ReportOutput::Excel;

    Connection connection(environment.archive(), Connection::Mode::ReadOnly);
    if (!connection.isOpen()) {
        *error = connection.errorText();
        return nullptr;
    }
    ReportDocument document;
    if (!layOutJournalBook(connection.database(), options, &document, error,
                           progressShownIn(progress))) {
        if (progress.wasCancelled())
            error->clear();
        return nullptr;
    }
    return std::make_unique<LaidOutReport>(std::move(document));
}
