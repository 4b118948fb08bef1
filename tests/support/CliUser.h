#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// tovrin3-cli as one user runs it: a folder of the user's own holds the settings (dataPath) and
// the runtime folder (the instance lock), so two users never share them, and the system gives
// no locale.
class CliUser {
public:
    struct Run {
        int exitCode;
        QString out;
        QString err;
    };

    QString runtimeFolder() const;
    QString settingsFile() const;
    QProcessEnvironment environment() const;

    // Runs the command to its end (at most 30 seconds).
    Run run(const QStringList &arguments, const QString &workingDirectory = {}) const;
    // Starts the command in process, which the caller waits for.
    void start(QProcess &process, const QStringList &arguments) const;
    static Run result(QProcess &process);

private:
    QTemporaryDir m_home;
};
