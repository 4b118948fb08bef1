#include "support/CliUser.h"

#include "support/TestArchive.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

QString CliUser::runtimeFolder() const
{
    const QString folder = m_home.filePath(u"runtime"_s);
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

QString CliUser::settingsFile() const
{
    return m_home.filePath(u"config/tovrin3/tovrin3.conf"_s);
}

QProcessEnvironment CliUser::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtimeFolder());
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    environment.insert(u"LANG"_s, u"C.UTF-8"_s);
    return environment;
}

void CliUser::start(QProcess &process, const QStringList &arguments) const
{
    process.setProcessEnvironment(environment());
    process.start(QDir(binDir()).filePath(u"tovrin3-cli"_s), arguments);
}

CliUser::Run CliUser::result(QProcess &process)
{
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

CliUser::Run CliUser::run(const QStringList &arguments, const QString &workingDirectory) const
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    start(process, arguments);
    return result(process);
}
