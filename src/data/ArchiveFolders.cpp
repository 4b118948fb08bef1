#include "data/ArchiveFolders.h"

#include "data/Database.h"
#include "data/Parameters.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString subFolder(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

} // namespace

QString ArchiveFolders::dataFolder() const
{
    return readParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser, QString())
        .toString();
}

bool ArchiveFolders::isArchiveFolder(const QString &dbPath)
{
    return !dbPath.isEmpty() && QFileInfo::exists(subFolder(dbPath, u"allegati"_s)) &&
           QFileInfo::exists(subFolder(dbPath, u"modelli"_s)) &&
           (QFileInfo(subFolder(dbPath, u"contab.mdb"_s)).isFile() ||
            QFileInfo(subFolder(dbPath, u"server.ini"_s)).isFile());
}
