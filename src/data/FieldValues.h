#pragma once

#include <QString>
#include <QVariant>

// Characters a code may hold: digits and letters A-Z, a-z.
bool isCodeCharacter(QChar c);

// Key filter of numeric fields: digits, backspace (8) and tab (9) pass, anything else gives 0.
int digitsOnlyKey(int keyCode);

// The value when it is a text that is not null, else the default.
QString textOrDefault(const QVariant &value, const QString &predefinito);

// The value as a number when it is numeric (a numeric text counts, in the C or the program's
// locale), else the default. Null is not numeric.
double numberOrDefault(const QVariant &value, double predefinito);
