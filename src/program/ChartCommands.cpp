#include "program/ChartCommands.h"

#include "chart/frm_io_Conto.h"
#include "chart/frm_io_Mastro.h"
#include "chart/frm_io_sConto.h"
#include "data/cEnvironment.h"
#include "main/DeletionCommand.h"
#include "main/frmMain.h"

void wireChartCommands(frmMain &main, cEnvironment &environment)
{
    // The main window reloads its view and moves to the saved record itself.
    main.setRecordEditor(
        MainView::Mastri,
        {[&main, &environment] { return frm_io_Mastro::Apri(&main, environment, 0); },
         [&main, &environment](qint64 id) { return frm_io_Mastro::Apri(&main, environment, id); }});
    main.setRecordEditor(
        MainView::Conti,
        {[&main, &environment] { return frm_io_Conto::Apri(&main, environment.archive(), 0); },
         [&main, &environment](qint64 id) {
             return frm_io_Conto::Apri(&main, environment.archive(), id);
         }});
    main.setRecordEditor(
        MainView::Sottoconti,
        {[&main, &environment] { return frm_io_sConto::Nuovo(&main, environment.archive()); },
         [&main, &environment](qint64 id) {
             return frm_io_sConto::Apri(&main, environment.archive(), id);
         }});
    wireDeletionCommand(main, environment);
}
