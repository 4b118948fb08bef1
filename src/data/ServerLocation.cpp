#include "data/ServerLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {

QMutex passwordMutex;
QHash<QString, QString> passwords;

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

QString ServerLocation::description() const
{
    return u"PostgreSQL %1@%2:%3/%4"_s.arg(user, host).arg(port).arg(database);
}

QString ServerLocation::key() const
{
    return u"postgresql://%1@%2:%3/%4"_s.arg(user, host).arg(port).arg(database);
}

QString serverIniPath(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(u"server.ini"_s);
}

bool isServerFolder(const QString &dataFolder)
{
    return !dataFolder.isEmpty() && QFileInfo(serverIniPath(dataFolder)).isFile();
}

std::optional<ServerLocation> readServerIni(const QString &dataFolder, QString *error)
{
    QSettings ini(serverIniPath(dataFolder), QSettings::IniFormat);
    ini.beginGroup(u"server"_s);
    ServerLocation location;
    location.host = ini.value(u"host"_s, u"localhost"_s).toString();
    location.port = ini.value(u"port"_s, 5432).toInt();
    location.database = ini.value(u"database"_s).toString();
    location.user = ini.value(u"user"_s).toString();
    location.sslmode = ini.value(u"sslmode"_s).toString();
    if (ini.status() != QSettings::NoError || location.database.isEmpty() || location.port <= 0) {
        fail(error, u"Il file server.ini della cartella dati:\n\"%1\"\nnon indica il database "
                    u"del server (database, host, port, user)."_s.arg(
                        QDir::toNativeSeparators(dataFolder)));
        return std::nullopt;
    }
    return location;
}

bool writeServerIni(const QString &dataFolder, const ServerLocation &location, QString *error)
{
    QSettings ini(serverIniPath(dataFolder), QSettings::IniFormat);
    ini.beginGroup(u"server"_s);
    ini.setValue(u"host"_s, location.host);
    ini.setValue(u"port"_s, location.port);
    ini.setValue(u"database"_s, location.database);
    ini.setValue(u"user"_s, location.user);
    if (!location.sslmode.isEmpty())
        ini.setValue(u"sslmode"_s, location.sslmode);
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError ||
           fail(error, u"Impossibile scrivere il file server.ini nella cartella dati."_s);
}

std::optional<ServerLocation> serverLocationFromUrl(const QString &url, QString *error)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString database = parsed.path().mid(1);
    if (!parsed.isValid() ||
        (parsed.scheme() != u"postgresql"_s && parsed.scheme() != u"postgres"_s) ||
        database.isEmpty() || database.contains(u'/')) {
        fail(error, u"Indirizzo del server non valido: \"%1\". Usare "
                    u"postgresql://utente@host:porta/database."_s.arg(url));
        return std::nullopt;
    }
    if (!parsed.password().isEmpty()) {
        fail(error, u"L'indirizzo del server non deve contenere la password: usare il file "
                    u"~/.pgpass."_s);
        return std::nullopt;
    }
    ServerLocation location;
    location.host = parsed.host().isEmpty() ? u"localhost"_s : parsed.host();
    location.port = parsed.port(5432);
    location.database = database;
    location.user = parsed.userName().isEmpty() ? qEnvironmentVariable("USER") : parsed.userName();
    location.sslmode = QUrlQuery(parsed).queryItemValue(u"sslmode"_s);
    // A socket folder can be given as ?host=/path, as libpq's own addresses allow.
    if (const QString socket = QUrlQuery(parsed).queryItemValue(u"host"_s); !socket.isEmpty())
        location.host = socket;
    return location;
}

QString sessionPassword(const ServerLocation &location)
{
    const QMutexLocker lock(&passwordMutex);
    return passwords.value(location.key());
}

void setSessionPassword(const ServerLocation &location, const QString &password)
{
    const QMutexLocker lock(&passwordMutex);
    passwords.insert(location.key(), password);
}
