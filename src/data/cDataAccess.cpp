#include "data/cDataAccess.h"

#include "data/Database.h"
#include "data/Parametri.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString subFolder(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

} // namespace

QString cDataAccess::dataFolder() const
{
    return LeggiParametro(Archive(), u"dataPath"_s, TipoValore::Testo, Memoria::Utente, QString())
        .toString();
}

QString cDataAccess::dataModelliFolder() const
{
    return subFolder(dataFolder(), u"modelli"_s);
}

QString cDataAccess::dataAllegatiFolder() const
{
    return subFolder(dataFolder(), u"allegati"_s);
}

QString cDataAccess::dataDocumentiFolder() const
{
    return subFolder(dataFolder(), u"documenti"_s);
}

bool cDataAccess::TestDbPathOK(const QString &dbPath)
{
    return !dbPath.isEmpty() && QFileInfo::exists(subFolder(dbPath, u"allegati"_s)) &&
           QFileInfo::exists(subFolder(dbPath, u"modelli"_s)) &&
           QFileInfo(subFolder(dbPath, u"contab.mdb"_s)).isFile();
}
