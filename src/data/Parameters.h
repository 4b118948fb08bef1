#pragma once

class Archive;
class Connection;

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// Value type codes of a parameter.
namespace ValueType {
constexpr int Text = 0;
constexpr int Amount = 1; // Money, stored with two decimals in the regional notation
constexpr int Boolean = 2;
constexpr int Integer = 3;
constexpr int Date = 4; // QDate, stored as yyyy-mm-dd
} // namespace ValueType

// Storage codes: the archive's parametri table, or any other code for the per-user settings
// (QSettings, application "tovrin3", group "settings").
namespace Storage {
constexpr int InArchive = 1;
constexpr int PerUser = 0;
} // namespace Storage

// Reads a parameter; the archive is the one whose parametri table holds it (unused for the
// per-user settings, which may pass a null archive). A missing key or an empty value returns the
// default unchanged (it is not converted); a type code outside 0-4 returns a null value. A database
// failure or a stored text that does not convert returns a null value and puts the reason into
// *error.
QVariant readParameter(const Archive &archive, const QString &chiave, int tipo, int memoria,
                       const QVariant &predefinito, QString *error = nullptr);

// Writes a parameter, updating its row or adding one. Returns false with the engine's text in
// *error when the archive refuses the write.
bool writeParameter(const Archive &archive, const QString &chiave, int tipo, int memoria,
                    const QVariant &valore, QString *error = nullptr);

// Writes an archive parameter on a connection the caller holds (inside its transaction).
bool writeParameter(const Connection &connection, const QString &chiave, int tipo,
                    const QVariant &valore, QString *error = nullptr);

// The organisation's heading lines, from the archive's parameters ana01..ana07.
struct OrganisationLines {
    QString name;      // ana01
    QString address;   // ana02
    QString townLine;  // postal code, town and province (ana03, ana04, ana05)
    QString taxCode;   // ana06
    QString vatNumber; // ana07
};

// The key of the preference "IVA sugli acquisti detraibile".
QString purchaseVatKey();
// Whether the organisation deducts the VAT of its purchases: the preference when it was set,
// else yes for a business's chart (its "IVA su acquisti" under "IVA a credito") and no for any
// other. Nothing with the engine's text on failure.
std::optional<bool> purchaseVatDeductible(const QSqlDatabase &database, QString *error);

// The heading lines from the values of ana01..ana07 in order.
OrganisationLines organisationFrom(const QStringList &values);

// Reads the heading lines of the archive. Returns nothing with the engine's text in *error.
std::optional<OrganisationLines> readOrganisation(const QSqlDatabase &database, QString *error);
