#include "data/ServerLocation.h"

#include "data/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QMutex passwordMutex;
QHash<QString, QString> passwords;

// libpq's own values: anything else would be pasted into the connection's options.
const QStringList &sslModes()
{
    static const QStringList modes{u"disable"_s, u"allow"_s,     u"prefer"_s,
                                   u"require"_s, u"verify-ca"_s, u"verify-full"_s};
    return modes;
}

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

// A host name, an IP address or the absolute path of the server's socket folder.
bool isValidHost(const QString &host)
{
    static const QRegularExpression name(u"^[A-Za-z0-9._:\\[\\]-]+$"_s);
    return !hasControlCharacters(host) && (host.startsWith(u'/') || name.match(host).hasMatch());
}

// The server's names are at most 63 bytes.
bool isValidName(const QString &name)
{
    return !name.isEmpty() && name.toUtf8().size() <= 63 && !hasControlCharacters(name);
}

} // namespace

QString invalidServerSetting(const ServerLocation &location)
{
    if (!isValidHost(location.host))
        return u"host"_s;
    if (location.port <= 0 || location.port > 65535)
        return u"port"_s;
    if (!isValidName(location.database))
        return u"database"_s;
    if (!location.user.isEmpty() && !isValidName(location.user))
        return u"user"_s;
    if (!location.sslmode.isEmpty() && !sslModes().contains(location.sslmode))
        return u"sslmode"_s;
    return {};
}

namespace {

QString keyValue(const ServerLocation &location, const QString &key)
{
    if (key == u"host"_s)
        return location.host;
    if (key == u"port"_s)
        return QString::number(location.port);
    if (key == u"database"_s)
        return location.database;
    if (key == u"user"_s)
        return location.user;
    return location.sslmode;
}

QString allowedValues(const QString &key)
{
    if (key == u"sslmode"_s)
        return u" (valori ammessi: %1)"_s.arg(sslModes().join(u", "_s));
    if (key == u"port"_s)
        return u" (un numero da 1 a 65535)"_s;
    return {};
}

// The line of server.ini that sets key, counted from 1; 0 when none does.
int lineOfKey(const QString &iniPath, const QString &key)
{
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    const QRegularExpression setting(u"^\\s*"_s + key + u"\\s*="_s);
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        if (setting.match(QString::fromUtf8(file.readLine())).hasMatch())
            return number;
    }
    return 0;
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
    if (ini.status() != QSettings::NoError || location.database.isEmpty()) {
        fail(error, u"Il file server.ini della cartella dati:\n\"%1\"\nnon indica il database "
                    u"del server (database, host, port, user)."_s.arg(
                        QDir::toNativeSeparators(dataFolder)));
        return std::nullopt;
    }
    if (const QString key = invalidServerSetting(location); !key.isEmpty()) {
        const int line = lineOfKey(serverIniPath(dataFolder), key);
        fail(error,
             u"Il file server.ini della cartella dati:\n\"%1\"\nha un valore non ammesso "
             u"per %2%3: \"%4\"%5."_s.arg(QDir::toNativeSeparators(dataFolder), key,
                                          line > 0 ? u" alla riga %1"_s.arg(line) : QString(),
                                          keyValue(location, key), allowedValues(key)));
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
    // Encrypted when the server offers it, as the client library does by default; said in
    // server.ini so that the setting can be read and tightened there.
    location.sslmode = QUrlQuery(parsed).queryItemValue(u"sslmode"_s, QUrl::FullyDecoded);
    if (location.sslmode.isEmpty())
        location.sslmode = u"prefer"_s;
    // A socket folder can be given as ?host=/path, as libpq's own addresses allow.
    if (const QString socket = QUrlQuery(parsed).queryItemValue(u"host"_s, QUrl::FullyDecoded);
        !socket.isEmpty())
        location.host = socket;
    if (const QString key = invalidServerSetting(location); !key.isEmpty()) {
        fail(error, u"Indirizzo del server non valido: valore non ammesso per %1: \"%2\"%3."_s.arg(
                        key, keyValue(location, key), allowedValues(key)));
        return std::nullopt;
    }
    return location;
}

QList<std::pair<QString, QString>> clientSettings(const ServerLocation &location)
{
    QList<std::pair<QString, QString>> settings{{u"connect_timeout"_s, u"5"_s},
                                                {u"application_name"_s, u"tovrin3"_s}};
    if (!location.sslmode.isEmpty())
        settings.append({u"sslmode"_s, location.sslmode});
    return settings;
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
