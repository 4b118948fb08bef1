#include "program/ReportCommands.h"

#include "main/frmMain.h"
#include "reports/ReportSettings.h"
#include "reports/frmPrintChoose.h"
#include "reports/frmPrintReportMov.h"
#include "ui/MessageService.h"

#include <QPointer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The program's report options and its one accounting reports window.
struct ReportHost {
    ReportSettings settings;
    QPointer<frmPrintReportMov> window;
};

} // namespace

void wireReportCommands(frmMain &main, cEnvironment &environment)
{
    auto host = std::make_shared<ReportHost>();
    main.setCommand(frmMain::Command::Stampa, [host, &main, &environment] {
        const std::optional<frmPrintChoose::Choice> choice = frmPrintChoose::Scegli(&main);
        if (!choice)
            return;
        if (*choice == frmPrintChoose::PianoDeiConti) {
            MessageService::instance().inform(
                &main, u"Il report \"Piano dei Conti\" non è ancora disponibile."_s);
            return;
        }
        if (!host->window) {
            host->window = new frmPrintReportMov(environment, host->settings, &main);
            host->window->setAttribute(Qt::WA_DeleteOnClose);
        }
        host->window->Stampa();
    });
}
