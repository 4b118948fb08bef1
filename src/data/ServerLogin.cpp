#include "data/ServerLogin.h"

#include <libpq-fe.h>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

PasswordNeed passwordNeed(const ServerLocation &location)
{
    // The same settings as the program's connections.
    QList<std::pair<QString, QString>> settings{{u"host"_s, location.host},
                                                {u"port"_s, QString::number(location.port)},
                                                {u"dbname"_s, location.database},
                                                {u"user"_s, location.user}};
    if (const QString password = sessionPassword(location); !password.isEmpty())
        settings.append({u"password"_s, password});
    settings += clientSettings(location);
    std::vector<std::pair<QByteArray, QByteArray>> encoded;
    for (const auto &[key, value] : settings)
        encoded.emplace_back(key.toUtf8(), value.toUtf8());
    std::vector<const char *> keys;
    std::vector<const char *> values;
    for (const auto &[key, value] : encoded) {
        keys.push_back(key.constData());
        values.push_back(value.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
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
