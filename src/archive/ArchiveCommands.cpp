#include "archive/ArchiveCommands.h"

#include "archive/NewArchive.h"
#include "archive/frmChoosePdC.h"
#include "data/EngineErrors.h"
#include "data/cDataAccess.h"
#include "data/cEnvironment.h"
#include "ui/MessageService.h"

#include <QDate>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

bool ApriContabilita(QWidget *owner, cEnvironment &environment)
{
    MessageService &messages = MessageService::instance();
    const QString folder =
        messages.chooseFolder(owner, u"Apri Contabilità esistente"_s, cDataAccess().dataFolder());
    QString error;
    if (!openArchive(folder, environment, &error)) {
        messages.inform(owner, error, MessageService::Icon::Warning);
        return false;
    }
    return true;
}

bool NuovaContabilita(QWidget *owner, cEnvironment &environment)
{
    if (!frmChoosePdC::Apri(owner))
        return false;
    environment.setArchive(Archive(cDataAccess().dataFolder()));
    environment.setCurDate(QDate::currentDate());
    QString error;
    if (!environment.Update(&error))
        MessageService::instance().inform(
            owner,
            failureMessage(u"Impossibile leggere i parametri della nuova contabilità."_s, error),
            MessageService::Icon::Critical);
    return true;
}
