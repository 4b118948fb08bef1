#include "archive/ArchiveCommands.h"

#include "archive/NewArchive.h"
#include "archive/NewArchiveWindow.h"
#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "ui/MessageService.h"

#include <QDate>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

bool chooseAndOpenArchive(QWidget *owner, FiscalEnvironment &environment)
{
    MessageService &messages = MessageService::instance();
    const QString folder = messages.chooseFolder(owner, u"Apri Contabilità esistente"_s,
                                                 environment.archive().folder());
    QString error;
    if (!openArchive(folder, environment, &error)) {
        messages.inform(owner, error, MessageService::Icon::Warning);
        return false;
    }
    return true;
}

bool createNewArchive(QWidget *owner, FiscalEnvironment &environment)
{
    const QString created = NewArchiveWindow::run(owner);
    if (created.isEmpty())
        return false;
    environment.setArchive(Archive(created));
    environment.setWorkingDate(QDate::currentDate());
    QString error;
    if (!environment.refresh(&error))
        MessageService::instance().inform(
            owner,
            failureMessage(u"Impossibile leggere i parametri della nuova contabilità."_s, error),
            MessageService::Icon::Critical);
    return true;
}
