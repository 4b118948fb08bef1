#include "program/ReportCommands.h"

#include "chart/ChartPrintoutWindow.h"
#include "data/ClosedYears.h"
#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "main/MainWindow.h"
#include "reports/MovementReportsRun.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportChooser.h"
#include "reports/ReportOptionsWindow.h"
#include "reports/ReportSettings.h"
#include "statements/BalanceReports.h"
#include "statements/CashStatementReport.h"
#include "ui/LaidOutReport.h"
#include "ui/MessageService.h"
#include "ui/ReportProgressDialog.h"

#include <QPointer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The program's report options and its one accounting reports window.
struct ReportHost {
    ReportSettings settings;
    QPointer<ReportOptionsWindow> window;
    QPointer<ChartPrintoutWindow> chartWindow;
};

BalanceOptions balanceOptionsOf(const ReportSettings &settings)
{
    BalanceOptions options;
    options.dateFrom = settings.dateFrom;
    options.dateTo = settings.dateTo;
    options.levels = settings.levels;
    options.showCodes = settings.showCodes;
    options.fixedColumns = settings.fixedColumns;
    options.hideMarked = settings.hideMarked;
    options.closingEntries = settings.closingEntries;
    options.zeroBalances = settings.zeroBalances;
    return options;
}

// The balance of the options' period, laid out for the preview, the printer or an export.
ReportOptionsWindow::ReportLayout balanceLayout(const FiscalEnvironment &environment,
                                                BalanceKind kind)
{
    return [&environment, kind](const ReportSettings &settings, ReportProgressDialog &progress,
                                QString *error) -> std::unique_ptr<PreviewDocument> {
        Connection connection(environment.archive(), Connection::Mode::ReadOnly);
        if (!connection.opened(error))
            return nullptr;
        ReportDocument document;
        if (!layOutBalance(connection.database(), kind, balanceOptionsOf(settings),
                           BalanceCaptions::fromEnvironment(environment), settings.exporting,
                           &document, error, progressShownIn(progress))) {
            if (progress.wasCancelled())
                error->clear();
            return nullptr;
        }
        return std::make_unique<LaidOutReport>(std::move(document));
    };
}

// The cash-basis statement of the fiscal year holding the period's first day and of the year
// before; its warnings print above it.
ReportOptionsWindow::ReportLayout cashStatementLayout(const FiscalEnvironment &environment)
{
    return [&environment](const ReportSettings &settings, ReportProgressDialog &,
                          QString *error) -> std::unique_ptr<PreviewDocument> {
        Connection connection(environment.archive(), Connection::Mode::ReadOnly);
        if (!connection.opened(error))
            return nullptr;
        const std::optional<FiscalYear> year =
            archiveYearContaining(connection.database(), settings.dateFrom, error);
        if (!year)
            return nullptr;
        const FiscalYear before = fiscalYearBefore(year->start);
        const StatementYears years{{year->start, year->end}, {before.start, before.end}};
        const std::optional<CashStatement> statement =
            computeCashStatement(connection.database(), years.current, years.previous, error);
        ReportDocument document;
        if (!statement || !layOutCashStatement(*statement, years, environment.anas01,
                                               settings.exporting, &document, error))
            return nullptr;
        return std::make_unique<LaidOutReport>(std::move(document));
    };
}

// The report options window with the layouts that live outside the reports' own folder.
ReportOptionsWindow *reportWindow(MainWindow &main, FiscalEnvironment &environment,
                                  ReportSettings &settings)
{
    auto *window = new ReportOptionsWindow(environment, settings, &main);
    window->setAttribute(Qt::WA_DeleteOnClose);
    const QList<ReportOutput> exports = {ReportOutput::Excel, ReportOutput::Rtf, ReportOutput::Pdf};
    window->setReportLayout(ReportCode::Bilancio,
                            balanceLayout(environment, BalanceKind::Sequential), exports);
    window->setReportLayout(ReportCode::BilancioSezioniContrapposte,
                            balanceLayout(environment, BalanceKind::Opposed), exports);
    window->setReportLayout(ReportCode::RendicontoCassa, cashStatementLayout(environment), exports);
    for (const int code : {ReportCode::MovimentiVerticale, ReportCode::MovimentiOrizzontale,
                           ReportCode::SchedeVerticale, ReportCode::SchedeOrizzontale})
        window->setReportLayout(code, movementReportLayout(code, environment), exports);
    return window;
}

} // namespace

void wireReportCommands(MainWindow &main, FiscalEnvironment &environment)
{
    auto host = std::make_shared<ReportHost>();
    main.setCommand(MainWindow::Command::Stampa, [host, &main, &environment] {
        const std::optional<ReportChooser::Choice> choice = ReportChooser::choose(&main);
        if (!choice)
            return;
        if (*choice == ReportChooser::PianoDeiConti) {
            if (!host->chartWindow)
                host->chartWindow = new ChartPrintoutWindow(environment, &main);
            host->chartWindow->openWithDefaults();
            return;
        }
        if (!host->window)
            host->window = reportWindow(main, environment, host->settings);
        host->window->openWithDefaults();
    });
    QObject::connect(&main, &MainWindow::statusBarRefreshed, &main, [host] {
        if (host->window)
            host->window->followWorkingDate();
    });
}
