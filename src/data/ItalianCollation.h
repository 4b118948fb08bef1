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

// Registers italiano(text) on an open SQLite connection: the key that sorts texts as
// compareItalian does (ORDER BY italiano(descrizione)); a server archive has the same function
// of its own. False when the driver gives no handle.
bool registerItalianOrder(const QSqlDatabase &database);
