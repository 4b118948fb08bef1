#pragma once

#include <QSqlDatabase>
#include <QString>

// Descriptions sort as an Italian reader expects: by their letters whatever their case or accent
// ("abete" before "Zeta", "Èrario" among the E's); where the letters are the same, the texts
// themselves decide, so the order is total. Codes keep their own order and never use it.

// Negative, zero or positive as a sorts before, with or after b.
int compareItalian(QStringView a, QStringView b);

// The collation's name in SQL: ORDER BY descrizione COLLATE ITALIANO.
QString italianCollation();

// Registers the collation on an open SQLite connection; false when the driver gives no handle.
bool registerItalianCollation(const QSqlDatabase &database);
