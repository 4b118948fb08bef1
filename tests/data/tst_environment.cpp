#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "support/TestArchive.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestEnvironment : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void findsTheFiscalYear_data()
    {
        QTest::addColumn<int>("startMonth");
        QTest::addColumn<QDate>("workingDate");
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::addColumn<QString>("label");
        QTest::newRow("calendar year")
            << 1 << QDate(2024, 5, 15) << QDate(2024, 1, 1) << QDate(2024, 12, 31) << u"2024"_s;
        QTest::newRow("first of january")
            << 1 << QDate(2024, 1, 1) << QDate(2024, 1, 1) << QDate(2024, 12, 31) << u"2024"_s;
        QTest::newRow("july, before the start")
            << 7 << QDate(2024, 3, 10) << QDate(2023, 7, 1) << QDate(2024, 6, 30) << u"2023/2024"_s;
        QTest::newRow("july, on the start")
            << 7 << QDate(2024, 7, 1) << QDate(2024, 7, 1) << QDate(2025, 6, 30) << u"2024/2025"_s;
        QTest::newRow("march, leap february")
            << 3 << QDate(2024, 1, 31) << QDate(2023, 3, 1) << QDate(2024, 2, 29) << u"2023/2024"_s;
        QTest::newRow("december") << 12 << QDate(2024, 11, 20) << QDate(2023, 12, 1)
                                  << QDate(2024, 11, 30) << u"2023/2024"_s;
        QTest::newRow("december, on the start") << 12 << QDate(2024, 12, 31) << QDate(2024, 12, 1)
                                                << QDate(2025, 11, 30) << u"2024/2025"_s;
    }
    void findsTheFiscalYear()
    {
        QFETCH(int, startMonth);
        QFETCH(QDate, workingDate);
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        QFETCH(QString, label);
        const FiscalYear year = fiscalYearContaining(workingDate, startMonth);
        QCOMPARE(year.start, start);
        QCOMPARE(year.end, end);
        QCOMPARE(year.label, label);
    }

    void updatesFromTheArchive()
    {
        TestArchive a;
        FiscalEnvironment env(a);
        env.setWorkingDate(QDate(2024, 5, 15));
        QVERIFY(env.refresh());
        QCOMPARE(env.yearStart(), QDate(2024, 1, 1));
        QCOMPARE(env.yearEnd(), QDate(2024, 12, 31));
        QCOMPARE(env.workingYear(), 2024);

        a.exec(u"INSERT INTO parametri (chiave, valore) VALUES ('StartMonth', '3')"_s);
        env.setWorkingDate(QDate(2025, 1, 10));
        QCOMPARE(env.yearStart(), QDate(2024, 1, 1)); // nothing moves before Update
        QVERIFY(env.refresh());
        QCOMPARE(env.yearStart(), QDate(2024, 3, 1));
        QCOMPARE(env.yearEnd(), QDate(2025, 2, 28));
        QCOMPARE(env.previousYearStart(), QDate(2023, 3, 1));
        QCOMPARE(env.previousYearEnd(), QDate(2024, 2, 29));
        QCOMPARE(env.yearLabel(), u"2024/2025"_s);
    }

    void refusesAStartMonthThatIsNotANumber()
    {
        TestArchive a;
        a.exec(u"INSERT INTO parametri (chiave, valore) VALUES ('StartMonth', 'luglio')"_s);
        FiscalEnvironment env(a);
        QString error;
        QVERIFY(!env.refresh(&error));
        QVERIFY(!error.isEmpty());
    }

    void tellsTheLastEntryDate()
    {
        TestArchive a;
        FiscalEnvironment env(a);
        QCOMPARE(env.lastEntryDateText(), u"N/D"_s);
        const qint64 s = a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s), u"Cassa"_s);
        a.addEntry(QDate(2021, 3, 5), {{s, s, Money::fromCents(100), u"giroconto"_s}});
        a.addEntry(QDate(2019, 12, 31), {{s, s, Money::fromCents(100), u"giroconto"_s}});
        QCOMPARE(env.lastEntryDateText(), u"05/03/2021"_s);
    }

    void loadsOrganisationDataOnlyWithAName()
    {
        TestArchive a;
        FiscalEnvironment env(a);
        env.anas02 = u"via Roma 1"_s;
        env.anas01 = u"vecchio"_s;
        QVERIFY(env.refresh());
        QCOMPARE(env.anas01, QString());
        QCOMPARE(env.anas02, u"via Roma 1"_s);

        for (int i = 1; i <= 7; ++i)
            QVERIFY(writeParameter(a, u"ana0%1"_s.arg(i), ValueType::Text, Storage::InArchive,
                                   u"campo %1"_s.arg(i)));
        QVERIFY(env.refresh());
        QCOMPARE(env.anas01, u"campo 1"_s);
        QCOMPARE(env.anas07, u"campo 7"_s);
    }

    void fallsBackToDefaultCaptions()
    {
        TestArchive a;
        a.exec(
            u"INSERT INTO parametri (chiave, valore) VALUES ('spDescrizione', ''), ('ceDescrizione', 'Rendiconto gestionale')"_s);
        FiscalEnvironment env(a);
        QVERIFY(env.refresh());
        QCOMPARE(env.spDescrizione, u"Stato patrimoniale"_s);
        QCOMPARE(env.ceDescrizione, u"Rendiconto gestionale"_s);
        QCOMPARE(env.coDescrizione, u"Conti d'ordine"_s);
        QCOMPARE(env.utileDescrizione, u"Utile"_s);
    }

    void measuresGridsInPixels()
    {
        FiscalEnvironment env;
        env.setScreenMetrics(96, 17);
        QCOMPARE(env.gridRowHeight(), 24);
        QCOMPARE(env.scrollBarWidth(), 17);
        env.setScreenMetrics(144, 25);
        QCOMPARE(env.gridRowHeight(), 36);
    }
};

QTEST_GUILESS_MAIN(TestEnvironment)
#include "tst_environment.moc"
