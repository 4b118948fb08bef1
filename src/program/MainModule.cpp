#include "program/MainModule.h"

#include "archive/BackupWindows.h"
#include "archive/frmChoosePdC.h"
#include "data/ArchiveStartup.h"
#include "data/Database.h"
#include "data/EngineErrors.h"
#include "data/cDataAccess.h"
#include "data/cEnvironment.h"
#include "journal/frmProgressivi.h"
#include "main/frmMain.h"
#include "program/ChartCommands.h"
#include "program/JournalCommands.h"
#include "program/ReportCommands.h"
#include "reports/FinalJournalPrint.h"
#include "settings/comfrmAbout.h"
#include "settings/comfrmManData.h"
#include "settings/frmDataLavoro.h"
#include "settings/frmPreferenze.h"
#include "statements/frmBilancio.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "yearend/ReopenYearWindow.h"
#include "yearend/frm_newEse.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace {

// Working date, preferences, table maintenance, about window and help.
void wireEnvironmentCommands(frmMain &main, cEnvironment &environment)
{
    main.setCommand(frmMain::Command::DataLavoro, [&main, &environment] {
        // interfaceUpdate shows the current view again, which reloads it.
        frmDataLavoro::Apri(&main, environment, [&main] { main.interfaceUpdate(); });
    });
    main.setCommand(frmMain::Command::Preferenze, [&main, &environment] {
        frmPreferenze::Apri(&main, environment.archive());
        // Whether or not anything was saved, the views show what the archive now holds.
        if (QString error; !environment.Update(&error))
            MessageService::instance().inform(
                &main, failureMessage(u"Impossibile leggere le preferenze dell'archivio."_s, error),
                MessageService::Icon::Critical);
        main.interfaceUpdate();
    });
    main.setCommand(frmMain::Command::ManutenzioneTabelle, [&main, &environment] {
        comfrmManData window(environment.archive(), &main);
        window.exec();
    });
    main.setCommand(frmMain::Command::Informazioni, [&main] {
        comfrmAbout window(&main);
        window.exec();
    });
    main.setCommand(frmMain::Command::Guida, [&main] { showHelpContents(&main); });
    // The main window's topic follows its view.
    installHelpKey(&main);
}

} // namespace

MainModule::MainModule(const QString &lockFolder) : m_lock(lockFolder) {}

MainModule::~MainModule() = default;

bool MainModule::refuse(const QString &message)
{
    MessageService::instance().inform(nullptr, message, MessageService::Icon::Critical);
    return false;
}

bool MainModule::avvia(const QDate &today)
{
    if (!m_lock.tryLock())
        return refuse(u"Applicazione già in esecuzione"_s);

    QString folder = cDataAccess().dataFolder();
    if (folder.isEmpty()) {
        // First run: the user creates an archive, or the program ends without a word.
        if (!frmChoosePdC::Apri())
            return false;
        folder = cDataAccess().dataFolder();
    }
    if (const QString problem = archiveFolderProblem(folder); !problem.isEmpty())
        return refuse(problem);
    const Archive archive(folder);

    QString error;
    if (!openForWriting(archive, &error))
        return refuse(isEngineText(error)
                          ? failureMessage(u"Impossibile aprire l'archivio in scrittura."_s, error)
                          : error);

    // A final print's PDF left under its temporary name by a crash after it was recorded.
    if (const Connection connection(archive, Connection::Mode::ReadOnly); connection.isOpen())
        completeFinalPrintFiles(connection.database(), &error);

    m_environment = std::make_unique<cEnvironment>(archive);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_environment->setScreenMetrics(
            screen->logicalDotsPerInch(),
            QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    m_environment->setCurDate(today);
    if (!m_environment->Update(&error))
        return refuse(failureMessage(u"Impossibile leggere i parametri dell'archivio."_s, error));

    m_mainWindow = std::make_unique<frmMain>(*m_environment);
    wireCommands();
    m_mainWindow->show();
    return true;
}

void MainModule::wireCommands()
{
    frmMain &main = *m_mainWindow;
    cEnvironment &environment = *m_environment;
    wireJournalCommands(main, environment);
    wireChartCommands(main, environment);
    wireEnvironmentCommands(main, environment);
    wireReportCommands(main, environment);
    main.setCommand(frmMain::Command::ChiusuraApertura, [&main, &environment] {
        frm_newEse::Apri(&main, environment);
        main.gexUpdate();
    });
    main.setCommand(frmMain::Command::RiapriEsercizio, [&main, &environment] {
        if (reopenLastYearEnd(&main, environment))
            main.interfaceUpdate();
    });
    main.setCommand(frmMain::Command::ControlloArchivio,
                    [&main, &environment] { showArchiveCheck(&main, environment); });
    main.setCommand(frmMain::Command::Backup,
                    [&main, &environment] { saveBackupCopy(&main, environment.archive()); });
    main.setCommand(frmMain::Command::RipristinaBackup, [&main, &environment] {
        if (!restoreBackup(&main, environment.archive()))
            return;
        if (QString error; !environment.Update(&error))
            MessageService::instance().inform(
                &main, failureMessage(u"Impossibile leggere i parametri dell'archivio."_s, error),
                MessageService::Icon::Critical);
        main.interfaceUpdate();
    });
    main.setCommand(frmMain::Command::BilancioRiclassificato, [&main, &environment] {
        frmBilancio window(environment.archive().folder(), StatementYears::of(environment), &main);
        window.exec();
    });
    main.setCommand(frmMain::Command::RicalcoloProgressivi, [&main, &environment] {
        frmProgressivi window(environment.archive(), environment.EseDate1(), environment.EseDate2(),
                              &main);
        window.exec();
        main.gexUpdate();
    });
}
