#include "main/DeletionCommand.h"

#include "data/cEnvironment.h"
#include "journal/frmProgressivi.h"
#include "main/Deletion.h"
#include "main/frmMain.h"
#include "ui/MessageService.h"

using namespace Qt::StringLiterals;

namespace {

// A rule's refusal is a warning in its own words; only a failure of the database is an error.
void showFailure(frmMain &main, const Deletion &deletion)
{
    if (deletion.wasRefused())
        MessageService::instance().inform(&main, deletion.failureText(),
                                          MessageService::Icon::Warning);
    else
        MessageService::instance().inform(&main, deletion.failureText(),
                                          MessageService::Icon::Warning, u"Errore Applicazione"_s);
}

void deleteEntry(frmMain &main, const cEnvironment &environment)
{
    Deletion deletion(environment.archive(), main.curView());
    const qint64 id = main.currentRecordId();
    // On a group row of the account cards there is no entry, but the check still runs.
    if (id > 0 && MessageService::instance().ask(&main, deletion.question())) {
        if (!deletion.remove(id))
            showFailure(main, deletion);
        main.gexUpdate();
    }
    frmProgressivi::controllaProgressivi(&main, environment);
    main.gexUpdate();
}

void deleteChartRecord(frmMain &main, const Archive &archive)
{
    Deletion deletion(archive, main.curView());
    const qint64 id = main.currentRecordId();
    if (id <= 0)
        return;
    const std::optional<bool> dependents = deletion.hasDependents(id);
    if (!dependents) {
        showFailure(main, deletion);
        main.gexUpdate();
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
    main.gexUpdate();
}

} // namespace

void Elimina(frmMain &main, const cEnvironment &environment)
{
    if (main.listedRows() == 0)
        return;
    if (Deletion(environment.archive(), main.curView()).deletesEntries())
        deleteEntry(main, environment);
    else
        deleteChartRecord(main, environment.archive());
}

void wireDeletionCommand(frmMain &main, const cEnvironment &environment)
{
    main.setCommand(frmMain::Command::Elimina,
                    [&main, &environment] { Elimina(main, environment); });
}
