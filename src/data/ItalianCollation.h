#pragma once

#include <QSqlDatabase>
#include <QString>

// Descriptions sort as an Italian reader expects: by their letters whatever their case or accent
// ("abete" before "Zeta", "Èrario" among the E's); where the letters are the same, the texts
// themselves decide, so the order is total. Codes keep their own order and never use it.

// Negative, zero or positive as a sorts before, with or after b.
int compareItalian(QStringView a, QStringView b);

// Text folded for matching: without accents and case ("Attività" and "ATTIVITA" fold alike).
QString foldedForMatching(const QString &text);

// Whether text contains wanted, ignoring case and accents; foldedWanted is
// foldedForMatching(wanted), passed in so that it is folded once for many texts.
bool containsIgnoringAccents(const QString &text, const QString &wanted,
                             const QString &foldedWanted);

// Registers the collation on an open SQLite connection, as ITALIANO (ORDER BY descrizione COLLATE
// ITALIANO); false when the driver gives no handle.
bool registerItalianCollation(const QSqlDatabase &database);
