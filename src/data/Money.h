#pragma once

#include <QMetaType>
#include <QString>
#include <QStringView>

#include <compare>
#include <concepts>
#include <optional>

class QLocale;

// An exact amount of money in ten-thousandths of the currency unit, as the archive stores it.
class Money {
public:
    static constexpr qint64 UnitsPerCurrency = 10000;
    static constexpr qint64 UnitsPerCent = 100;

    constexpr Money() = default;
    static constexpr Money fromUnits(qint64 units) { return Money(units); }
    static constexpr Money fromCents(qint64 cents) { return Money(cents * UnitsPerCent); }
    // An amount never passes through floating point: such a call does not compile.
    template <std::floating_point Float> static Money fromUnits(Float) = delete;
    template <std::floating_point Float> static Money fromCents(Float) = delete;

    constexpr qint64 units() const { return m_units; }
    constexpr bool isZero() const { return m_units == 0; }
    constexpr bool isNegative() const { return m_units < 0; }
    constexpr Money abs() const { return Money(m_units < 0 ? -m_units : m_units); }

    // Rounds to whole cents, ties to the even cent (12,345 gives 12,34; 12,355 gives 12,36).
    Money roundedToCents() const;
    // Rounds to the given number of decimals (0-4), ties away from zero, as displays do.
    Money roundedForDisplay(int decimals) const;

    // Reads an amount typed in the locale's notation ("1.234,56", "-12,3456", "1234").
    // Group separators are taken only at thousands positions ("12.34" is not a number).
    // Digits beyond the fourth decimal round half to even. Returns nothing for text that is
    // not a number or is too large.
    static std::optional<Money> parse(QStringView text, const QLocale &locale);
    // The same, for amounts the books keep as they are written (imported, posted, maintained):
    // text with a digit other than zero beyond the cent gives nothing and *beyondCent (when
    // given) is set, since rounding it would change the amount without a word.
    static std::optional<Money> parseWholeCents(QStringView text, const QLocale &locale,
                                                bool *beyondCent = nullptr);

    constexpr Money operator-() const { return Money(-m_units); }
    constexpr Money operator+(Money o) const { return Money(m_units + o.m_units); }
    constexpr Money operator-(Money o) const { return Money(m_units - o.m_units); }
    constexpr Money &operator+=(Money o)
    {
        m_units += o.m_units;
        return *this;
    }
    constexpr Money &operator-=(Money o)
    {
        m_units -= o.m_units;
        return *this;
    }
    constexpr auto operator<=>(const Money &) const = default;

private:
    constexpr explicit Money(qint64 units) : m_units(units) {}
    qint64 m_units = 0;
};

Q_DECLARE_METATYPE(Money)

// An amount as an exact decimal text with a point and at least two decimals: "1234.56",
// "-0.50", "12.3456", as JSON files and scripts read it.
QString decimalText(Money amount);
