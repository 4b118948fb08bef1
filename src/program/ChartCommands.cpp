#include "program/ChartCommands.h"

#include "chart/AccountEditor.h"
#include "chart/LedgerEditor.h"
#include "chart/SubAccountEditor.h"
#include "data/FiscalEnvironment.h"
#include "main/DeletionCommand.h"
#include "main/MainWindow.h"

void wireChartCommands(MainWindow &main, FiscalEnvironment &environment)
{
    // The main window reloads its view and moves to the saved record itself.
    main.setRecordEditor(
        MainView::Mastri,
        {[&main, &environment] { return LedgerEditor::edit(&main, environment, 0); },
         [&main, &environment](qint64 id) { return LedgerEditor::edit(&main, environment, id); }});
    main.setRecordEditor(
        MainView::Conti,
        {[&main, &environment] { return AccountEditor::edit(&main, environment.archive(), 0); },
         [&main, &environment](qint64 id) {
             return AccountEditor::edit(&main, environment.archive(), id);
         }});
    main.setRecordEditor(
        MainView::Sottoconti,
        {[&main, &environment] { return SubAccountEditor::create(&main, environment.archive()); },
         [&main, &environment](qint64 id) {
             return SubAccountEditor::edit(&main, environment.archive(), id);
         }});
    wireDeletionCommand(main, environment);
}
