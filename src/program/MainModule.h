#pragma once

#include "data/InstanceLock.h"

#include <QDate>
#include <QString>

#include <memory>

class FiscalEnvironment;
class MainWindow;

// The program's start-up: one instance only, the archive of the per-user setting dataPath
// checked and stamped with the program's version, the environment built and the main window
// shown. Owns the process-wide environment and the main window.
class MainModule {
public:
    // lockFolder holds the lock file that keeps a second instance out.
    explicit MainModule(const QString &lockFolder);
    ~MainModule();

    // Runs the start-up for the working date today. Returns false when the program must end;
    // the reason, when there is one, has been shown through the message service.
    bool start(const QDate &today = QDate::currentDate());

    FiscalEnvironment *environment() const { return m_environment.get(); }
    MainWindow *mainWindow() const { return m_mainWindow.get(); }

private:
    bool refuse(const QString &message);
    // Why the archive in folder cannot be opened, after asking for the server's password when
    // the server wants one; empty when it can.
    static QString problemAfterLogin(const QString &folder);
    // Gives the main window the commands whose windows live outside it.
    void wireCommands();

    InstanceLock m_lock;
    std::unique_ptr<FiscalEnvironment> m_environment;
    std::unique_ptr<MainWindow> m_mainWindow;
};
