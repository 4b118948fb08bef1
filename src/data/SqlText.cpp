#include "data/SqlText.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

QString sqlDateLiteral(const QDate &date)
{
    return u"'"_s + isoDate(date) + u"'"_s;
}

QDate endOfPreviousMonth(const QDate &date)
{
    return QDate(date.year(), date.month(), 1).addDays(-1);
}

QString isoDate(const QDate &date)
{
    return date.toString(Qt::ISODate);
}

QDate dateFromIso(const QString &text)
{
    return QDate::fromString(text, Qt::ISODate);
}

bool isPlainTableName(const QString &name)
{
    static const QRegularExpression plain(u"^[A-Za-z_][A-Za-z0-9_]*$"_s);
    return plain.match(name).hasMatch();
}
