#include "data/Money.h"

#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;

// Money never passes through floating point: a floating argument does not compile.
template <typename T> constexpr bool takesUnits = requires(T value)
{
    Money::fromUnits(value);
};
template <typename T> constexpr bool takesCents = requires(T value)
{
    Money::fromCents(value);
};
static_assert(!takesUnits<double> && !takesCents<float> && takesUnits<qint64> && takesCents<int>);
static_assert(!std::is_convertible_v<Money, double>);

class TestMoney : public QObject {
    Q_OBJECT

private slots:
    void parsesItalianText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("units");
        QTest::newRow("four decimals exact") << u"12,3456"_s << true << 123456LL;
        QTest::newRow("grouping") << u"1.234,56"_s << true << 12345600LL;
        QTest::newRow("whole") << u"1234"_s << true << 12340000LL;
        QTest::newRow("negative cent") << u"-0,01"_s << true << -100LL;
        QTest::newRow("spaces around") << u"  7,5 "_s << true << 75000LL;
        QTest::newRow("fifth decimal tie to even") << u"12,34565"_s << true << 123456LL;
        QTest::newRow("fifth decimal tie odd up") << u"12,34575"_s << true << 123458LL;
        QTest::newRow("fifth decimal beyond tie") << u"12,345651"_s << true << 123457LL;
        QTest::newRow("letters") << u"12a"_s << false << 0LL;
        QTest::newRow("empty") << QString() << false << 0LL;
        QTest::newRow("only sign") << u"-"_s << false << 0LL;
        QTest::newRow("two decimal points") << u"1,2,3"_s << false << 0LL;
        QTest::newRow("grouping, no decimals") << u"1.234"_s << true << 12340000LL;
        QTest::newRow("two groups") << u"1.234.567,5"_s << true << 12345675000LL;
        QTest::newRow("two decimals") << u"12,34"_s << true << 123400LL;
        QTest::newRow("negative grouped") << u"-1.000"_s << true << -10000000LL;
        QTest::newRow("separator inside hundreds") << u"12.34"_s << false << 0LL;
        QTest::newRow("short group before decimals") << u"1.23,4"_s << false << 0LL;
        QTest::newRow("long group") << u"1.2345"_s << false << 0LL;
        QTest::newRow("four digits before separator") << u"1234.567"_s << false << 0LL;
        QTest::newRow("leading separator") << u".123"_s << false << 0LL;
        QTest::newRow("trailing separator") << u"123."_s << false << 0LL;
        QTest::newRow("separator in decimals") << u"1,234.5"_s << false << 0LL;
        QTest::newRow("second group short") << u"1.234.56"_s << false << 0LL;
        QTest::newRow("two decimal commas") << u"12,34,5"_s << false << 0LL;
        QTest::newRow("too large") << u"99999999999999999999"_s << false << 0LL;
    }
    void parsesItalianText()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(qint64, units);
        const auto money = Money::parse(text, QLocale(QLocale::Italian, QLocale::Italy));
        QCOMPARE(money.has_value(), valid);
        if (valid)
            QCOMPARE(money->units(), units);
    }

    void parsesEnglishNotation()
    {
        const auto money =
            Money::parse(u"1,234.5"_s, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(money);
        QCOMPARE(money->units(), 12345000LL);
    }

    void roundsToCentsHalfEven_data()
    {
        QTest::addColumn<qint64>("units");
        QTest::addColumn<qint64>("rounded");
        QTest::newRow("12,3456") << 123456LL << 123500LL;
        QTest::newRow("12,345 tie to even down") << 123450LL << 123400LL;
        QTest::newRow("12,355 tie to even up") << 123550LL << 123600LL;
        QTest::newRow("-12,345") << -123450LL << -123400LL;
        QTest::newRow("-12,355") << -123550LL << -123600LL;
        QTest::newRow("-0,0051") << -51LL << -100LL;
        QTest::newRow("already cents") << 100LL << 100LL;
    }
    void roundsToCentsHalfEven()
    {
        QFETCH(qint64, units);
        QFETCH(qint64, rounded);
        QCOMPARE(Money::fromUnits(units).roundedToCents().units(), rounded);
    }

    void sumsExactly()
    {
        Money total;
        for (int i = 0; i < 10; ++i)
            total += Money::fromCents(10);
        QCOMPARE(total, Money::fromCents(100));
        QVERIFY((total - Money::fromCents(100)).isZero());
        QCOMPARE((-total).abs(), total);
        QVERIFY(Money::fromCents(-1) < Money());
    }
};

QTEST_GUILESS_MAIN(TestMoney)
#include "tst_money.moc"
