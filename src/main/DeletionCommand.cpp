#include "main/DeletionCommand.h"

#include "data/FiscalEnvironment.h"
#include "journal/RenumberingWindow.h"
#include "main/Deletion.h"
#include "main/MainWindow.h"
#include "ui/MessageService.h"

using namespace Qt::StringLiterals;

namespace {

// A rule's refusal is a warning in its own words; only a failure of the database is an error.
void showFailure(MainWindow &main, const Deletion &deletion)
{
    if (deletion.wasRefused())
        MessageService::instance().inform(&main, deletion.failureText(),
                                          MessageService::Icon::Warning);
    else
        MessageService::instance().inform(&main, deletion.failureText(),
                                          MessageService::Icon::Warning, u"Errore Applicazione"_s);
}

void deleteEntry(MainWindow &main, const FiscalEnvironment &environment)
{
    Deletion deletion(environment.archive(), main.curView());
    const qint64 id = main.currentRecordId();
    // On a group row of the account cards there is no entry, but the check still runs.
    if (id > 0 && MessageService::instance().ask(&main, deletion.question())) {
        if (!deletion.remove(id, main.currentEntryVersion()))
            showFailure(main, deletion);
        main.reloadView();
    }
    RenumberingWindow::checkNumbering(&main, environment);
    main.reloadView();
}

void deleteChartRecord(MainWindow &main, const Archive &archive)
{
    Deletion deletion(archive, main.curView());
    const qint64 id = main.currentRecordId();
    if (id <= 0)
        return;
    const std::optional<bool> dependents = deletion.hasDependents(id);
    if (!dependents) {
        showFailure(main, deletion);
        main.reloadView();
        return;
    }
    MessageService &messages = MessageService::instance();
    if (*dependents) {
        messages.inform(&main, deletion.refusal());
        return;
    }
    if (!messages.ask(&main, deletion.question()))
        return;
    if (!deletion.remove(id))
        showFailure(main, deletion);
    main.reloadView();
}

} // namespace

void Elimina(MainWindow &main, const FiscalEnvironment &environment)
{
    if (main.listedRows() == 0)
        return;
    if (Deletion(environment.archive(), main.curView()).deletesEntries())
        deleteEntry(main, environment);
    else
        deleteChartRecord(main, environment.archive());
}

void wireDeletionCommand(MainWindow &main, const FiscalEnvironment &environment)
{
    main.setCommand(MainWindow::Command::Elimina,
                    [&main, &environment] { Elimina(main, environment); });
}
