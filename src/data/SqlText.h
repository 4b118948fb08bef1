#pragma once

#include <QDate>
#include <QString>

// The date as the engine's date literal, '2024-03-05', for the few statements that need SQL
// text; values from users or data are always bound instead.
QString sqlDateLiteral(const QDate &date);

// The last day of the month before the date's month: 15 March 2024 gives 29 February 2024.
QDate endOfPreviousMonth(const QDate &date);

// ISO text of a date as stored in the archive, and back; an invalid text gives an invalid date.
QString isoDate(const QDate &date);
QDate dateFromIso(const QString &text);

// Whether a name read from a file may stand in SQL text as a table name: letters, digits and
// underscores, not starting with a digit.
bool isPlainTableName(const QString &name);
