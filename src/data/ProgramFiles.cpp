#include "data/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString programDataFolder()
{
    const QDir executable(QCoreApplication::applicationDirPath());
    const QString installed = executable.filePath(u"../share/tovrin3"_s);
    if (QFileInfo::exists(QDir(installed).filePath(u"pdc.gen"_s)))
        return QDir::cleanPath(installed);
    return executable.path();
}
