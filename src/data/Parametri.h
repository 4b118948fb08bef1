#pragma once

class Archive;
class Connection;

#include <QString>
#include <QVariant>

// Value type codes of a parameter.
namespace TipoValore {
constexpr int Testo = 0;
constexpr int Valuta = 1; // Money, stored with two decimals in the regional notation
constexpr int Booleano = 2;
constexpr int Intero = 3;
constexpr int Data = 4; // QDate, stored as yyyy-mm-dd
} // namespace TipoValore

// Storage codes: the archive's parametri table, or any other code for the per-user settings
// (QSettings, application "tovrin3", group "settings").
namespace Memoria {
constexpr int Archivio = 1;
constexpr int Utente = 0;
} // namespace Memoria

// Reads a parameter; the archive is the one whose parametri table holds it (unused for the
// per-user settings, which may pass a null archive). A missing key or an empty value returns the
// default unchanged (it is not converted); a type code outside 0-4 returns a null value. A database
// failure or a stored text that does not convert returns a null value and puts the reason into
// *error.
QVariant LeggiParametro(const Archive &archive, const QString &chiave, int tipo, int memoria,
                        const QVariant &predefinito, QString *error = nullptr);

// Writes a parameter, updating its row or adding one. Returns false with the engine's text in
// *error when the archive refuses the write.
bool ScriviParametro(const Archive &archive, const QString &chiave, int tipo, int memoria,
                     const QVariant &valore, QString *error = nullptr);

// Writes an archive parameter on a connection the caller holds (inside its transaction).
bool ScriviParametro(const Connection &connection, const QString &chiave, int tipo,
                     const QVariant &valore, QString *error = nullptr);
