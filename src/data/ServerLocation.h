#pragma once

#include <QList>
#include <QString>

#include <utility>

#include <optional>

// Where a server archive's data lives: a PostgreSQL database, named by the archive folder's
// server.ini. The password is never kept in the folder: it comes from the user's ~/.pgpass, or
// from a login asked for by the program and kept in memory for the session.
struct ServerLocation {
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString sslmode; // empty: the client library's default

    // "PostgreSQL user@host:port/database", as the status bar and info show it.
    QString description() const;
    // Identifies the database within this process (the same for every connection to it).
    QString key() const;

    friend bool operator==(const ServerLocation &, const ServerLocation &) = default;
};

// Which of the location's settings ("host", "port", "database", "user", "sslmode") holds a value
// the server's client library would not read as that one setting; empty when none does. The
// options are handed to the library as text: an sslmode of "disable host=..." would otherwise
// send the password to another server than the one the program names.
QString invalidServerSetting(const ServerLocation &location);

// What every connection of the program tells the server's client library beside the location's
// host, port, database and user: give up on a server that does not answer in five seconds, the
// program's name for the server's list of sessions, and the location's sslmode when it has one.
QList<std::pair<QString, QString>> clientSettings(const ServerLocation &location);

// The file in an archive folder that makes it a server archive.
QString serverIniPath(const QString &dataFolder);
bool isServerFolder(const QString &dataFolder);

// Reads a folder's server.ini; nothing, with the reason in *error, when it lacks the database.
std::optional<ServerLocation> readServerIni(const QString &dataFolder, QString *error = nullptr);
bool writeServerIni(const QString &dataFolder, const ServerLocation &location, QString *error);

// Reads "postgresql://user@host:port/database[?sslmode=...]". A password in the address is
// refused: it would end up in the shell's history and in server.ini.
std::optional<ServerLocation> serverLocationFromUrl(const QString &url, QString *error);

// The password typed by the user for a location, for the rest of the session; empty when none.
QString sessionPassword(const ServerLocation &location);
void setSessionPassword(const ServerLocation &location, const QString &password);
