#include "data/PatternFormatter.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

QLocale appLocale()
{
    return QLocale(QLocale::Italian, QLocale::Italy);
}

namespace {

// The first character of the locale's short date format that is not a letter.
QString separatorIn(const QString &localePattern, const QString &fallback)
{
    for (const QChar c : localePattern) {
        if (!c.isLetter() && !c.isSpace())
            return QString(c);
    }
    return fallback;
}

// The sections of a number pattern: positive, negative, zero.
struct Sections {
    std::array<QStringView, 3> parts;
    int count = 0;
};

// Splits a number pattern on the ';' that are not escaped or quoted; a section after the
// third means nothing.
Sections sections(QStringView pattern)
{
    Sections result;
    qsizetype start = 0;
    bool quoted = false;
    const auto add = [&result](QStringView part) {
        if (result.count < int(result.parts.size()))
            result.parts[size_t(result.count++)] = part;
    };
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'\\') {
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u';' && !quoted) {
            add(pattern.mid(start, i - start));
            start = i + 1;
        }
    }
    add(pattern.mid(start));
    return result;
}

bool isPlaceholder(QChar c)
{
    return c == u'#' || c == u'0';
}

} // namespace

PatternFormatter::PatternFormatter(const QLocale &locale)
    : m_dateSeparator(separatorIn(locale.dateFormat(QLocale::ShortFormat), u"/"_s)),
      m_timeSeparator(separatorIn(locale.timeFormat(QLocale::ShortFormat), u":"_s)),
      m_decimalPoint(locale.decimalPoint()), m_groupSeparator(locale.groupSeparator()),
      m_negativeSign(locale.negativeSign())
{
}

QString PatternFormatter::format(qint64 integer, QStringView pattern) const
{
    return format(Money::fromUnits(integer * Money::UnitsPerCurrency), pattern);
}

QString PatternFormatter::format(Money value, QStringView pattern) const
{
    const Sections split = sections(pattern);
    const auto &parts = split.parts;
    if (value.isNegative() && split.count >= 2 && !parts[1].isEmpty())
        return formatSection(value.abs(), parts[1]);
    if (value.isZero() && split.count >= 3)
        return formatSection(value, parts[2]);
    if (value.isNegative())
        return m_negativeSign + formatSection(value.abs(), parts[0]);
    return formatSection(value, parts[0]);
}

QString PatternFormatter::formatSection(Money value, QStringView section) const
{
    // Measure the placeholders first: they decide rounding and padding.
    int integerZeros = 0;
    int decimals = 0;
    int decimalZeros = 0;
    bool grouping = false;
    bool afterPoint = false;
    bool seenPlaceholder = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section.at(i);
        if (c == u'\\') {
            ++i;
        } else if (isPlaceholder(c)) {
            seenPlaceholder = true;
            if (afterPoint) {
                ++decimals;
                decimalZeros += c == u'0' ? 1 : 0;
            } else {
                integerZeros += c == u'0' ? 1 : 0;
            }
        } else if (c == u'.' && !afterPoint) {
            afterPoint = true;
        } else if (c == u',' && seenPlaceholder && !afterPoint) {
            grouping = true;
        }
    }

    const Money rounded = value.roundedForDisplay(decimals);
    const qint64 units = rounded.abs().units();
    const qint64 whole = units / Money::UnitsPerCurrency;
    QString fraction = QString::number(units % Money::UnitsPerCurrency).rightJustified(4, u'0');
    fraction.truncate(decimals);
    while (fraction.size() > decimalZeros && fraction.endsWith(u'0'))
        fraction.chop(1);

    QString out;
    out.reserve(section.size() + 24);
    bool numberWritten = false;
    bool quoted = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section.at(i);
        if (quoted) {
            if (c == u'"')
                quoted = false;
            else
                out.append(c);
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'\\') {
            if (i + 1 < section.size())
                out.append(section.at(++i));
        } else if (isPlaceholder(c) || c == u'.' || (c == u',' && seenPlaceholder)) {
            if (!numberWritten) {
                // An accountant writes "0,50", never ",50".
                const int leading = fraction.isEmpty() ? integerZeros : std::max(integerZeros, 1);
                out.append(groupedDigits(whole, leading, grouping));
                if (!fraction.isEmpty())
                    out.append(m_decimalPoint).append(fraction);
                numberWritten = true;
            }
        } else {
            out.append(c);
        }
    }
    return out;
}

QString PatternFormatter::groupedDigits(qint64 whole, int minimumDigits, bool grouping) const
{
    // Built in one pass: a year's book formats a few hundred thousand amounts.
    const QString plain = whole == 0 ? QString() : QString::number(whole);
    const qsizetype length = std::max<qsizetype>(plain.size(), minimumDigits);
    const qsizetype padding = length - plain.size();
    QString digits;
    digits.reserve(length + (grouping ? length / 3 * m_groupSeparator.size() : 0));
    for (qsizetype i = 0; i < length; ++i) {
        if (grouping && i > 0 && (length - i) % 3 == 0)
            digits += m_groupSeparator;
        digits += i < padding ? QChar(u'0') : plain.at(i - padding);
    }
    return digits;
}

QString PatternFormatter::format(const QDate &date, QStringView pattern) const
{
    // A date alone never becomes a local date and time: that asks the system's time zone, a
    // file read on every call.
    return format(date, QTime(0, 0), pattern);
}

QString PatternFormatter::format(const QDateTime &dateTime, QStringView pattern) const
{
    return format(dateTime.date(), dateTime.time(), pattern);
}

QString PatternFormatter::format(QDate date, QTime time, QStringView pattern) const
{
    QString out;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        const QChar lower = c.toLower();
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run).toLower() == lower)
            ++run;
        auto twoOrOne = [&](int v) {
            return run >= 2 ? QString::number(v).rightJustified(2, u'0') : QString::number(v);
        };
        if (c == u'\\') {
            if (i + 1 < pattern.size())
                out.append(pattern.at(i + 1));
            i += 2;
            continue;
        }
        if (lower == u'd') {
            out.append(twoOrOne(date.day()));
        } else if (lower == u'm') {
            out.append(twoOrOne(date.month()));
        } else if (lower == u'y') {
            out.append(run >= 4 ? QString::number(date.year()).rightJustified(4, u'0')
                                : QString::number(date.year() % 100).rightJustified(2, u'0'));
        } else if (lower == u'h') {
            out.append(twoOrOne(time.hour()));
        } else if (lower == u'n') {
            out.append(twoOrOne(time.minute()));
        } else if (lower == u's') {
            out.append(twoOrOne(time.second()));
        } else if (c == u'/') {
            out.append(m_dateSeparator.repeated(run));
        } else if (c == u':') {
            out.append(m_timeSeparator.repeated(run));
        } else {
            out.append(QString(c).repeated(run));
        }
        i += run;
    }
    return out;
}
