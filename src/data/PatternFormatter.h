#pragma once

#include "data/Money.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

// The locale the program formats and parses amounts and dates with: Italian, whatever the
// system's, since the books are Italian.
QLocale appLocale();

// Formats numbers and dates with the program's pattern language:
// - numbers: up to three sections "positive;negative;zero"; '#' and '0' digit placeholders,
//   ',' between placeholders groups thousands, '.' marks the decimals; '\x' and "..." are literal.
//   With one section a negative value gets a leading minus sign.
// - dates: d, dd, m, mm, yy, yyyy, h, hh, n, nn, s, ss (letters in any case); '/' is the
//   locale's date separator, ':' its time separator; '\x' is literal.
// Separators come from the locale given to the constructor.
class PatternFormatter {
public:
    explicit PatternFormatter(const QLocale &locale = appLocale());

    QString format(Money value, QStringView pattern) const;
    QString format(qint64 integer, QStringView pattern) const;
    QString format(const QDate &date, QStringView pattern) const;
    QString format(const QDateTime &dateTime, QStringView pattern) const;

private:
    QString formatSection(Money value, QStringView section) const;
    QString groupedDigits(qint64 whole, int minimumDigits, bool grouping) const;
    QString format(QDate date, QTime time, QStringView pattern) const;

    QString m_dateSeparator;
    QString m_timeSeparator;
    // The locale's separators and signs, asked once: the locale looks them up on every call.
    QString m_decimalPoint;
    QString m_groupSeparator;
    QString m_negativeSign;
};
