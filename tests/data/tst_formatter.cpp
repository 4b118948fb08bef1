#include "data/PatternFormatter.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFormatter : public QObject {
    Q_OBJECT

private slots:
    void formatsAmounts_data()
    {
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        const QString views = u"#,#.00;-#,#.00;-"_s;
        QTest::newRow("positive grouped") << 123450LL << views << u"1.234,50"_s;
        QTest::newRow("negative section") << -123450LL << views << u"-1.234,50"_s;
        QTest::newRow("zero section") << 0LL << views << u"-"_s;
        QTest::newRow("millions") << 123456789LL << u"#,##0.00"_s << u"1.234.567,89"_s;
        QTest::newRow("optional integer digit") << 50LL << u"#,#.00"_s << u"0,50"_s;
        QTest::newRow("required integer digit") << 50LL << u"#,##0.00"_s << u"0,50"_s;
        QTest::newRow("zero as 0.00") << 0LL << u"#,#.00;#,#.00;0.00"_s << u"0,00"_s;
        QTest::newRow("zero as 0") << 0LL << u"#,#.00;#,#.00;0"_s << u"0"_s;
        QTest::newRow("negative without minus") << -500LL << u"#,#.00;#,#.00;0"_s << u"5,00"_s;
        QTest::newRow("one section negative") << -200LL << u"#,#.00"_s << u"-2,00"_s;
        QTest::newRow("bracketed positive")
            << 500LL << u" \\[+#,#.00\\]; \\[-#,#.00\\]; "_s << u" [+5,00]"_s;
        QTest::newRow("bracketed negative")
            << -500LL << u" \\[+#,#.00\\]; \\[-#,#.00\\]; "_s << u" [-5,00]"_s;
        QTest::newRow("bracketed zero") << 0LL << u" \\[+#,#.00\\]; \\[-#,#.00\\]; "_s << u" "_s;
        QTest::newRow("explicit plus") << 300LL << u"+#,##0.00;-#,##0.00"_s << u"+3,00"_s;
        QTest::newRow("trailing space") << 100000LL << u"#,#.00 ;-#,#.00 ; "_s << u"1.000,00 "_s;
        QTest::newRow("no grouping") << 123456LL << u"#0.00"_s << u"1234,56"_s;
        QTest::newRow("zero with dot section") << 0LL << u"#,#.00;-#,#.00;.00"_s << u"0,00"_s;
        QTest::newRow("padded and grouped") << 4200LL << u"#,000,000.00"_s << u"000.042,00"_s;
        QTest::newRow("group of three exactly") << 12345600LL << u"#,#.00"_s << u"123.456,00"_s;
        QTest::newRow("a fourth section means nothing")
            << 0LL << u"#,#.00;-#,#.00;zero;quarto"_s << u"zero"_s;
    }
    void formatsAmounts()
    {
        QFETCH(qint64, cents);
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        const PatternFormatter italian(QLocale(QLocale::Italian, QLocale::Italy));
        QCOMPARE(italian.format(Money::fromCents(cents), pattern), expected);
    }

    void roundsDisplayHalfAwayFromZero()
    {
        const PatternFormatter italian(QLocale(QLocale::Italian, QLocale::Italy));
        QCOMPARE(italian.format(Money::fromUnits(23450), u"#,#.00"), u"2,35"_s);
        QCOMPARE(italian.format(Money::fromUnits(-23450), u"#,#.00;-#,#.00"), u"-2,35"_s);
        QCOMPARE(italian.format(qint64(42), u"#,##0"), u"42"_s);
    }

    void usesTheLocaleSeparators()
    {
        const PatternFormatter english(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(english.format(Money::fromCents(123450), u"#,#.00"), u"1,234.50"_s);
    }

    void formatsDates_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        QTest::newRow("day first") << u"dd/mm/yyyy"_s << u"05/03/2024"_s;
        QTest::newRow("two-digit year") << u"dd/mm/yy"_s << u"05/03/24"_s;
        QTest::newRow("escaped slashes") << u"mm\\/dd\\/yyyy"_s << u"03/05/2024"_s;
        QTest::newRow("hash literal") << u"\\#mm\\/dd\\/yy\\#"_s << u"#03/05/24#"_s;
        QTest::newRow("iso") << u"yyyy-mm-dd"_s << u"2024-03-05"_s;
        QTest::newRow("stamp") << u"yyyyMMddHHnnss"_s << u"20240305140709"_s;
        QTest::newRow("short parts") << u"d/m/yy"_s << u"5/3/24"_s;
    }
    void formatsDates()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        const PatternFormatter italian(QLocale(QLocale::Italian, QLocale::Italy));
        QCOMPARE(italian.format(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)), pattern), expected);
    }

    void theBooksAreItalianWhateverTheSystem()
    {
        for (const QLocale &system :
             {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates)}) {
            QLocale::setDefault(system);
            QCOMPARE(PatternFormatter().format(Money::fromCents(100050), u"#,#.00"_s),
                     u"1.000,50"_s);
        }
    }
};

QTEST_GUILESS_MAIN(TestFormatter)
#include "tst_formatter.moc"
