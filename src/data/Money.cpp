#include "data/Money.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 MaxUnits = 900'000'000'000'000'000LL;

// Divides by a positive divisor rounding half to even.
qint64 divideHalfEven(qint64 value, qint64 divisor)
{
    qint64 quotient = value / divisor;
    const qint64 remainder = value % divisor;
    const qint64 twice = 2 * (remainder < 0 ? -remainder : remainder);
    const qint64 step = value < 0 ? -1 : 1;
    if (twice > divisor || (twice == divisor && quotient % 2 != 0))
        quotient += step;
    return quotient;
}

qint64 divideHalfAwayFromZero(qint64 value, qint64 divisor)
{
    qint64 quotient = value / divisor;
    const qint64 remainder = value % divisor;
    if (2 * (remainder < 0 ? -remainder : remainder) >= divisor)
        quotient += value < 0 ? -1 : 1;
    return quotient;
}

qint64 powerOfTen(int exponent)
{
    qint64 result = 1;
    while (exponent-- > 0)
        result *= 10;
    return result;
}

// Once a group separator was typed, the digits after the last one make a full group.
bool wholeGroupsComplete(bool grouped, int groupDigits)
{
    return !grouped || groupDigits == 3;
}

} // namespace

Money Money::roundedToCents() const
{
    return Money(divideHalfEven(m_units, UnitsPerCent) * UnitsPerCent);
}

Money Money::roundedForDisplay(int decimals) const
{
    const qint64 step = powerOfTen(4 - qBound(0, decimals, 4));
    return Money(divideHalfAwayFromZero(m_units, step) * step);
}

std::optional<Money> Money::parse(QStringView text, const QLocale &locale)
{
    const QString decimalPoint = locale.decimalPoint();
    const QString groupSeparator = locale.groupSeparator();
    QStringView rest = text.trimmed();
    bool negative = false;
    if (rest.startsWith(u'-') || rest.startsWith(u'+') || rest.startsWith(locale.negativeSign())) {
        negative = !rest.startsWith(u'+');
        rest = rest.mid(1).trimmed();
    }

    qint64 whole = 0;
    qint64 fraction = 0; // scaled to ten-thousandths once all digits are read
    int fractionDigits = 0;
    bool inFraction = false;
    bool anyDigit = false;
    int groupDigits = 0;  // digits read since the last group separator, or from the start
    bool grouped = false; // whether the whole part has a group separator
    QString extraDigits;  // beyond the fourth decimal, kept for rounding
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QChar c = rest.at(i);
        if (c.isDigit()) {
            anyDigit = true;
            const int digit = c.digitValue();
            if (!inFraction) {
                if (whole > MaxUnits / UnitsPerCurrency / 10)
                    return std::nullopt;
                whole = whole * 10 + digit;
                ++groupDigits;
            } else if (fractionDigits < 4) {
                fraction = fraction * 10 + digit;
                ++fractionDigits;
            } else {
                extraDigits.append(c);
            }
        } else if (!inFraction && rest.mid(i).startsWith(decimalPoint)) {
            if (!wholeGroupsComplete(grouped, groupDigits))
                return std::nullopt;
            inFraction = true;
            i += decimalPoint.size() - 1;
        } else if (!inFraction && !groupSeparator.isEmpty() &&
                   rest.mid(i).startsWith(groupSeparator)) {
            // A separator stands only where thousands begin: after one to three leading
            // digits, then after every three.
            if (groupDigits == 0 || groupDigits > 3 || (grouped && groupDigits != 3))
                return std::nullopt;
            grouped = true;
            groupDigits = 0;
            i += groupSeparator.size() - 1;
        } else {
            return std::nullopt;
        }
    }
    if (!inFraction && !wholeGroupsComplete(grouped, groupDigits))
        return std::nullopt;
    if (!anyDigit)
        return std::nullopt;

    qint64 units = whole * UnitsPerCurrency + fraction * powerOfTen(4 - fractionDigits);
    if (!extraDigits.isEmpty()) {
        const int first = extraDigits.at(0).digitValue();
        const bool restNonZero = extraDigits.mid(1).contains(QRegularExpression(u"[1-9]"_s));
        const bool tie = first == 5 && !restNonZero;
        if (first > 5 || (first == 5 && restNonZero) || (tie && units % 2 != 0))
            ++units;
    }
    return Money(negative ? -units : units);
}

std::optional<Money> Money::parseWholeCents(QStringView text, const QLocale &locale,
                                            bool *beyondCent)
{
    const std::optional<Money> amount = parse(text, locale);
    if (!amount)
        return std::nullopt;
    const qsizetype point = text.indexOf(locale.decimalPoint());
    const QStringView beyond = point < 0 ? QStringView() : text.mid(point + 1).trimmed().mid(2);
    const bool fraction =
        std::any_of(beyond.begin(), beyond.end(), [](QChar c) { return c.isDigit() && c != u'0'; });
    if (beyondCent)
        *beyondCent = fraction;
    return fraction ? std::nullopt : amount;
}

QString decimalText(Money amount)
{
    const qint64 units = amount.units();
    const quint64 magnitude = units < 0 ? quint64(0) - quint64(units) : quint64(units);
    QString fraction = u"%1"_s.arg(magnitude % Money::UnitsPerCurrency, 4, 10, QChar(u'0'));
    while (fraction.size() > 2 && fraction.endsWith(u'0'))
        fraction.chop(1);
    return (units < 0 ? u"-"_s : QString()) + QString::number(magnitude / Money::UnitsPerCurrency) +
           u'.' + fraction;
}
