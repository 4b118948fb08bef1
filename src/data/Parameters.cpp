#include "data/Parameters.h"

#include "data/Database.h"
#include "data/Money.h"
#include "data/PatternFormatter.h"
#include "data/SqlText.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

const QString SettingsApplication = u"tovrin3"_s;

QString userSettingKey(const QString &chiave)
{
    return u"settings/"_s + chiave;
}

QString textOf(int tipo, const QVariant &valore)
{
    switch (tipo) {
    case ValueType::Text:
        return valore.toString();
    case ValueType::Amount:
        return PatternFormatter().format(valore.value<Money>(), u"#,##0.00");
    case ValueType::Boolean:
        return valore.toBool() ? u"True"_s : u"False"_s;
    case ValueType::Integer:
        return QString::number(valore.toInt());
    case ValueType::Date:
        return isoDate(valore.toDate());
    default:
        return QString();
    }
}

QVariant valueOf(int tipo, const QString &text, QString *error)
{
    const QString conversionError = u"Valore del parametro non convertibile: \"%1\""_s.arg(text);
    switch (tipo) {
    case ValueType::Text:
        return text;
    case ValueType::Amount:
        if (const auto money = Money::parse(text, appLocale()))
            return QVariant::fromValue(*money);
        break;
    case ValueType::Boolean: {
        const QString lower = text.trimmed().toLower();
        if (lower == u"true"_s || lower == u"vero"_s || lower == u"-1"_s || lower == u"1"_s)
            return true;
        if (lower == u"false"_s || lower == u"falso"_s || lower == u"0"_s)
            return false;
        break;
    }
    case ValueType::Integer: {
        bool ok = false;
        const int number = text.trimmed().toInt(&ok);
        if (ok)
            return number;
        break;
    }
    case ValueType::Date:
        if (const QDate date = dateFromIso(text.trimmed()); date.isValid())
            return date;
        break;
    default:
        return QVariant();
    }
    setError(error, conversionError);
    return QVariant();
}

} // namespace

QVariant readParameter(const Archive &archive, const QString &chiave, int tipo, int memoria,
                       const QVariant &predefinito, QString *error)
{
    QString text;
    if (memoria == Storage::InArchive) {
        Connection connection(archive, Connection::Mode::ReadOnly);
        if (!connection.opened(error))
            return QVariant();
        QSqlQuery query = connection.query();
        if (!runSql(query, u"SELECT valore FROM parametri WHERE chiave = ?"_s, {chiave}, error))
            return QVariant();
        if (query.next())
            text = query.value(0).toString();
    } else {
        const QSettings settings(SettingsApplication, SettingsApplication);
        text = settings.value(userSettingKey(chiave)).toString();
    }
    if (text.isEmpty())
        return predefinito;
    return valueOf(tipo, text, error);
}

bool writeParameter(const Archive &archive, const QString &chiave, int tipo, int memoria,
                    const QVariant &valore, QString *error)
{
    const QString text = textOf(tipo, valore);
    if (memoria != Storage::InArchive) {
        QSettings settings(SettingsApplication, SettingsApplication);
        settings.setValue(userSettingKey(chiave), text);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            setError(error, u"Impossibile salvare l'impostazione \"%1\"."_s.arg(chiave));
            return false;
        }
        return true;
    }
    Connection connection(archive);
    if (!connection.opened(error))
        return false;
    return writeParameter(connection, chiave, tipo, valore, error);
}

bool writeParameter(const Connection &connection, const QString &chiave, int tipo,
                    const QVariant &valore, QString *error)
{
    QSqlQuery query = connection.query();
    return runSql(query,
                  u"INSERT INTO parametri (chiave, valore) VALUES (?, ?) "
                  u"ON CONFLICT (chiave) DO UPDATE SET valore = excluded.valore"_s,
                  {chiave, textOf(tipo, valore)}, error);
}

QString purchaseVatKey()
{
    return u"ivadetraibile"_s;
}

std::optional<bool> purchaseVatDeductible(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT valore FROM parametri WHERE chiave = ?"_s, {purchaseVatKey()},
                error))
        return std::nullopt;
    if (query.next() && !query.value(0).toString().isEmpty())
        return query.value(0).toString() == u"1"_s;
    if (!runSql(query,
                u"SELECT 1 FROM sottoconti JOIN conti ON sottoconti.idConto = conti.id "
                u"WHERE sottoconti.descrizione = 'IVA su acquisti' "
                u"AND conti.descrizione = 'IVA a credito'"_s,
                {}, error))
        return std::nullopt;
    return query.next();
}

OrganisationLines organisationFrom(const QStringList &values)
{
    OrganisationLines lines;
    lines.name = values.value(0);
    lines.address = values.value(1);
    lines.townLine =
        QStringList{values.value(2), values.value(3), values.value(4)}.join(u' ').trimmed();
    lines.taxCode = values.value(5);
    lines.vatNumber = values.value(6);
    return lines;
}

std::optional<OrganisationLines> readOrganisation(const QSqlDatabase &database, QString *error)
{
    QSqlQuery query(database);
    QStringList values;
    for (int i = 1; i <= 7; ++i) {
        if (!runSql(query, u"SELECT valore FROM parametri WHERE chiave = ?"_s, {u"ana0%1"_s.arg(i)},
                    error))
            return std::nullopt;
        values << (query.next() ? query.value(0).toString() : QString());
    }
    return organisationFrom(values);
}
