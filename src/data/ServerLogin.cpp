#include "data/ServerLogin.h"

#include <libpq-fe.h>

#include <array>
#include <memory>

PasswordNeed passwordNeed(const ServerLocation &location)
{
    const QByteArray host = location.host.toUtf8();
    const QByteArray port = QByteArray::number(location.port);
    const QByteArray database = location.database.toUtf8();
    const QByteArray user = location.user.toUtf8();
    const QByteArray password = sessionPassword(location).toUtf8();
    const QByteArray sslmode = location.sslmode.toUtf8();
    // The same settings as the program's connections; an empty value is the library's default.
    const std::array<const char *, 9> keys{
        "host",     "port",    "dbname",          "user",
        "password", "sslmode", "connect_timeout", "application_name",
        nullptr};
    const std::array<const char *, 9> values{host.constData(),
                                             port.constData(),
                                             database.constData(),
                                             user.constData(),
                                             password.constData(),
                                             sslmode.constData(),
                                             "5",
                                             "tovrin3",
                                             nullptr};
    const std::unique_ptr<PGconn, decltype(&PQfinish)> connection(
        PQconnectdbParams(keys.data(), values.data(), 0), &PQfinish);
    if (!connection || PQstatus(connection.get()) == CONNECTION_OK)
        return {};
    if (PQconnectionNeedsPassword(connection.get()))
        return {true, {}};
    if (PQconnectionUsedPassword(connection.get()))
        return {true, QString::fromUtf8(PQerrorMessage(connection.get())).trimmed()};
    return {};
}
