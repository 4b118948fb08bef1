#include "program/MainModule.h"

#include "archive/BackupWindows.h"
#include "archive/NewArchiveWindow.h"
#include "bankimport/BankImportWindow.h"
#include "bankimport/ReconciliationWindow.h"
#include "dashboard/DashboardWindow.h"
#include "data/ArchiveFolders.h"
#include "data/ArchiveStartup.h"
#include "data/Database.h"
#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "data/ServerLogin.h"
#include "einvoices/InvoiceImportWindow.h"
#include "einvoices/InvoicePageWindow.h"
#include "journal/RenumberingWindow.h"
#include "main/MainWindow.h"
#include "program/ChartCommands.h"
#include "program/JournalCommands.h"
#include "program/ReportCommands.h"
#include "reports/FinalJournalPrint.h"
#include "settings/AboutWindow.h"
#include "settings/PreferencesWindow.h"
#include "settings/TableMaintenanceWindow.h"
#include "settings/WorkingDateWindow.h"
#include "statements/StatementFillWindow.h"
#include "ui/AttachmentOpening.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "yearend/ReopenYearWindow.h"
#include "yearend/YearEndWindow.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace {

// Working date, preferences, table maintenance, about window and help.
void wireEnvironmentCommands(MainWindow &main, FiscalEnvironment &environment)
{
    main.setCommand(MainWindow::Command::DataLavoro, [&main, &environment] {
        // refreshStatusBar shows the current view again, which reloads it.
        WorkingDateWindow::run(&main, environment, [&main] { main.refreshStatusBar(); });
    });
    main.setCommand(MainWindow::Command::Preferenze, [&main, &environment] {
        PreferencesWindow::run(&main, environment.archive());
        // Whether or not anything was saved, the views show what the archive now holds.
        if (QString error; !environment.refresh(&error))
            MessageService::instance().inform(
                &main, failureMessage(u"Impossibile leggere le preferenze dell'archivio."_s, error),
                MessageService::Icon::Critical);
        main.refreshStatusBar();
    });
    main.setCommand(MainWindow::Command::ManutenzioneTabelle, [&main, &environment] {
        TableMaintenanceWindow window(environment.archive(), &main);
        window.exec();
    });
    main.setCommand(MainWindow::Command::Informazioni, [&main] {
        AboutWindow window(&main);
        window.exec();
    });
    main.setCommand(MainWindow::Command::Guida, [&main] { showHelpContents(&main); });
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

QString MainModule::problemAfterLogin(const QString &folder)
{
    QString problem = archiveFolderProblem(folder);
    const std::optional<ServerLocation> server =
        problem.isEmpty() ? std::nullopt : readServerIni(folder);
    // Without a password in ~/.pgpass the server asks for one: the user types it, for this
    // session only. After a refusal the prompt shows the server's words.
    for (int attempt = 0; attempt < 3 && !problem.isEmpty() && server; ++attempt) {
        const PasswordNeed need = passwordNeed(*server);
        if (!need.wanted)
            break;
        const QString prompt =
            u"Password dell'utente %1 per %2:"_s.arg(server->user, server->description());
        bool typed = false;
        const QString password = QInputDialog::getText(
            nullptr, u"Accesso al server"_s,
            need.refusal.isEmpty() ? prompt : need.refusal + u"\n\n"_s + prompt,
            QLineEdit::Password, QString(), &typed);
        if (!typed)
            break;
        setSessionPassword(*server, password);
        problem = archiveFolderProblem(folder);
    }
    return problem;
}

bool MainModule::start(const QDate &today)
{
    if (!m_lock.tryLock())
        return refuse(u"Applicazione già in esecuzione"_s);

    QString folder = ArchiveFolders().dataFolder();
    if (folder.isEmpty()) {
        // First run: the user creates an archive, or the program ends without a word.
        folder = NewArchiveWindow::run();
        if (folder.isEmpty())
            return false;
    }
    if (const QString problem = problemAfterLogin(folder); !problem.isEmpty())
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

    m_environment = std::make_unique<FiscalEnvironment>(archive);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_environment->setScreenMetrics(
            screen->logicalDotsPerInch(),
            QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    m_environment->setWorkingDate(today);
    if (!m_environment->refresh(&error))
        return refuse(failureMessage(u"Impossibile leggere i parametri dell'archivio."_s, error));

    m_mainWindow = std::make_unique<MainWindow>(*m_environment);
    wireCommands();
    m_mainWindow->show();
    if (const QString warning = networkFolderWarning(archive); !warning.isEmpty())
        MessageService::instance().inform(m_mainWindow.get(), warning,
                                          MessageService::Icon::Warning);
    return true;
}

void MainModule::wireCommands()
{
    MainWindow &main = *m_mainWindow;
    FiscalEnvironment &environment = *m_environment;
    setAttachmentViewer(showInvoicePage);
    wireJournalCommands(main, environment);
    wireChartCommands(main, environment);
    wireEnvironmentCommands(main, environment);
    wireReportCommands(main, environment);
    main.setCommand(MainWindow::Command::ChiusuraApertura, [&main, &environment] {
        YearEndWindow::run(&main, environment);
        main.reloadView();
    });
    main.setCommand(MainWindow::Command::RiapriEsercizio, [&main, &environment] {
        if (reopenLastYearEnd(&main, environment))
            main.refreshStatusBar();
    });
    main.setCommand(MainWindow::Command::ControlloArchivio,
                    [&main, &environment] { showArchiveCheck(&main, environment); });
    main.setCommand(MainWindow::Command::ImportaEstrattoConto, [&main, &environment] {
        if (BankImportWindow::run(&main, environment))
            main.refreshStatusBar();
    });
    main.setCommand(MainWindow::Command::ImportaFattureElettroniche, [&main, &environment] {
        if (InvoiceImportWindow::run(&main, environment))
            main.refreshStatusBar();
    });
    main.setCommand(MainWindow::Command::RiconciliazioneBancaria, [&main, &environment] {
        ReconciliationWindow::run(&main, environment);
        main.refreshStatusBar();
    });
    main.setCommand(MainWindow::Command::Cruscotto, [&main, &environment] {
        // One dashboard beside the main window, following its changes.
        auto *dashboard = main.findChild<DashboardWindow *>();
        if (!dashboard) {
            dashboard = new DashboardWindow(
                environment, [&main](const QString &account) { main.showCards(account); }, &main);
            dashboard->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(&main, &MainWindow::statusBarRefreshed, dashboard,
                             &DashboardWindow::refresh);
        }
        dashboard->show();
        dashboard->raise();
        dashboard->activateWindow();
    });
    main.setCommand(MainWindow::Command::Backup,
                    [&main, &environment] { saveBackupCopy(&main, environment.archive()); });
    main.setCommand(MainWindow::Command::RipristinaBackup, [&main, &environment] {
        if (!restoreBackup(&main, environment.archive()))
            return;
        if (QString error; !environment.refresh(&error))
            MessageService::instance().inform(
                &main, failureMessage(u"Impossibile leggere i parametri dell'archivio."_s, error),
                MessageService::Icon::Critical);
        main.refreshStatusBar();
        // A copy may hold numbers out of date order: the renumbering is offered at once.
        RenumberingWindow::checkNumbering(&main, environment);
        main.reloadView();
    });
    main.setCommand(MainWindow::Command::BilancioRiclassificato, [&main, &environment] {
        StatementFillWindow window(environment.archive().folder(), StatementYears::of(environment),
                                   &main);
        window.exec();
    });
    main.setCommand(MainWindow::Command::RicalcoloProgressivi, [&main, &environment] {
        RenumberingWindow window(environment.archive(), environment.yearStart(),
                                 environment.yearEnd(), &main);
        window.exec();
        main.reloadView();
    });
}
