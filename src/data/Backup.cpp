#include "data/Backup.h"

#include "data/EngineErrors.h"
#include "data/OutputFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

QString backupArchive(const Archive &archive, const QString &what, QString *error)
{
    QDir folder(archive.folder());
    const QString name = u"contab-%1-%2.mdb"_s.arg(
        QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s), what);
    if (!folder.mkpath(u"backup"_s)) {
        *error = u"Impossibile creare la cartella delle copie di sicurezza %1."_s.arg(
            QDir::toNativeSeparators(folder.filePath(u"backup"_s)));
        return {};
    }
    const QString target = folder.filePath(u"backup/"_s + name);
    const QString partial = target + u".part"_s;
    QFile::remove(partial);
    QString failure;
    {
        Connection connection(archive, Connection::Mode::ReadOnly);
        QSqlQuery query = connection.query();
        if (connection.opened(&failure))
            runSql(query, u"VACUUM INTO ?"_s, {partial}, &failure);
    }
    if (failure.isEmpty() && replaceFile(partial, target, &failure))
        return target;
    QFile::remove(partial);
    *error = failureMessage(u"Impossibile fare la copia di sicurezza dell'archivio: l'operazione "
                            u"non è stata eseguita."_s,
                            italianSystemError(failure));
    return {};
}
