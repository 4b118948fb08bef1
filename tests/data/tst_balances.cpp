#include "data/Balances.h"
#include "data/Database.h"
#include "data/Natures.h"
#include "support/TestArchive.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <QSet>

#include <algorithm>
#include <map>

using namespace Qt::StringLiterals;

class TestBalances : public QObject {
    Q_OBJECT

    struct Chart {
        qint64 cassa, banca, fondo, spese, quote, ordine;
    };

    static Chart makeChart(TestArchive &a)
    {
        const qint64 attivo = a.addMastro(u"A01"_s, u"Disponibilità"_s, Natures::Assets, u"SP"_s);
        const qint64 passivo = a.addMastro(u"P01"_s, u"Fondi"_s, Natures::Liabilities);
        const qint64 costi = a.addMastro(u"C01"_s, u"Costi generali"_s, Natures::Costs);
        const qint64 ricavi = a.addMastro(u"R01"_s, u"Quote"_s, Natures::Revenues);
        const qint64 ordine = a.addMastro(u"O01"_s, u"Beni di terzi"_s, Natures::Memorandum);
        const qint64 liquidi = a.addConto(attivo, u"A01001"_s, u"Liquidità"_s, true);
        Chart c;
        c.cassa = a.addSottoconto(liquidi, u"Cassa"_s);
        c.banca = a.addSottoconto(liquidi, u"Banca"_s);
        c.fondo = a.addSottoconto(a.addConto(passivo, u"P01001"_s, u"Fondo"_s), u"Fondo"_s);
        c.spese = a.addSottoconto(a.addConto(costi, u"C01001"_s, u"Spese"_s), u"Spese"_s);
        c.quote = a.addSottoconto(a.addConto(ricavi, u"R01001"_s, u"Quote"_s), u"Quote"_s);
        c.ordine = a.addSottoconto(a.addConto(ordine, u"O01001"_s, u"Beni"_s), u"Beni"_s);
        return c;
    }

    // A year with an opening entry, ordinary entries (one row with both sides), a closing entry
    // and movements on both sides of the year's bounds.
    static void addYear(TestArchive &a, const Chart &c)
    {
        const auto money = [](qint64 cents) { return Money::fromCents(cents); };
        a.addEntry(QDate(2023, 12, 31), {{c.cassa, {}, money(99900), u"fuori"_s}});
        a.addEntry(QDate(2024, 1, 1),
                   {{c.cassa, {}, money(50000), u""_s}, {{}, c.fondo, money(50000), u""_s}}, 1);
        a.addEntry(QDate(2024, 3, 5), {{c.cassa, c.quote, money(12345), u""_s}});
        a.addEntry(QDate(2024, 6, 30), {{c.spese, {}, money(7001), u""_s},
                                        {{}, c.cassa, money(2001), u""_s},
                                        {{}, c.banca, money(5000), u""_s}});
        a.addEntry(QDate(2024, 7, 1), {{c.ordine, c.ordine, money(300), u""_s}});
        a.addEntry(QDate(2024, 12, 31),
                   {{c.quote, {}, money(12345), u""_s},
                    {{}, c.spese, money(7001), u""_s},
                    {{}, c.fondo, money(5344), u""_s}},
                   -1);
        a.addEntry(QDate(2025, 1, 1), {{c.banca, {}, money(77700), u""_s}});
    }

    // The same totals computed row by row, straight from the entry tables.
    static std::map<qint64, std::pair<qint64, qint64>> sumsFromRows(const TestArchive &a,
                                                                    const QString &typeClause)
    {
        Connection connection(a.archive());
        QSqlQuery q = connection.query();
        const QString sql = u"SELECT rd.contodare, rd.contoavere, rd.importo FROM regdet rd "
                            u"JOIN regmain rm ON rm.id = rd.idRegMain "
                            u"WHERE rm.data >= '2024-01-01' AND rm.data <= '2024-12-31' AND "_s +
                            typeClause;
        if (QString error; !runSql(q, sql, {}, &error))
            qFatal("%s", qPrintable(error));
        std::map<qint64, std::pair<qint64, qint64>> sums;
        while (q.next()) {
            if (!q.value(0).isNull())
                sums[q.value(0).toLongLong()].first += q.value(2).toLongLong();
            if (!q.value(1).isNull())
                sums[q.value(1).toLongLong()].second += q.value(2).toLongLong();
        }
        return sums;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void naturesSignTheirBalances_data()
    {
        QTest::addColumn<int>("nature");
        QTest::addColumn<qint64>("saldo");
        QTest::addColumn<qint64>("saldo2");
        // Debit 100, credit 30 on each nature.
        QTest::newRow("conti d'ordine") << 0 << qint64(70) << qint64(70);
        QTest::newRow("attività") << 1 << qint64(70) << qint64(70);
        QTest::newRow("passività") << 2 << qint64(70) << qint64(-70);
        QTest::newRow("costi") << 3 << qint64(-70) << qint64(70);
        QTest::newRow("ricavi") << 4 << qint64(-70) << qint64(-70);
    }

    void naturesSignTheirBalances()
    {
        QFETCH(int, nature);
        QFETCH(qint64, saldo);
        QFETCH(qint64, saldo2);
        const Money dare = Money::fromCents(100), avere = Money::fromCents(30);
        QCOMPARE(Natures::saldo(nature, dare, avere), Money::fromCents(saldo));
        QCOMPARE(Natures::saldo2(nature, dare, avere), Money::fromCents(saldo2));
    }

    void naturesAreNamedAndRanked()
    {
        QCOMPARE(Natures::name(0), u"Conti d'ordine"_s);
        QCOMPARE(Natures::name(2), u"Passività"_s);
        QVERIFY(Natures::name(5).isEmpty());
        QVERIFY(!Natures::isValid(-1));
        QList<int> ranks;
        for (int nature : {1, 2, 3, 4, 0, 9})
            ranks << Natures::sortRank(nature);
        QList<int> sorted = ranks;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(ranks, sorted);
        QCOMPARE(ranks.size(), QSet<int>(ranks.begin(), ranks.end()).size());
    }

    void balancesMatchTheRowsForEachFilter_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("typeClause");
        QTest::newRow("all") << int(EntryFilter::AllEntries) << u"1 = 1"_s;
        QTest::newRow("without closing") << int(EntryFilter::WithoutClosing) << u"rm.tipo <> -1"_s;
        QTest::newRow("ordinary") << int(EntryFilter::OrdinaryOnly) << u"rm.tipo = 0"_s;
    }

    void balancesMatchTheRowsForEachFilter()
    {
        QFETCH(int, filter);
        QFETCH(QString, typeClause);
        TestArchive a;
        const Chart c = makeChart(a);
        addYear(a, c);
        const auto expected = sumsFromRows(a, typeClause);

        Connection connection(a.archive());
        std::vector<SubAccountBalance> balances;
        QString error;
        QVERIFY2(subAccountBalances(connection.database(), QDate(2024, 1, 1), QDate(2024, 12, 31),
                                    EntryFilter(filter), &balances, &error),
                 qPrintable(error));
        QCOMPARE(balances.size(), expected.size());
        for (const SubAccountBalance &b : balances) {
            QVERIFY(expected.count(b.subAccountId));
            const auto [dare, avere] = expected.at(b.subAccountId);
            QCOMPARE(b.dare.units(), dare);
            QCOMPARE(b.avere.units(), avere);
        }
    }

    void closingEntriesLeaveTheYearsBalances()
    {
        TestArchive a;
        const Chart c = makeChart(a);
        addYear(a, c);
        Connection connection(a.archive());
        std::vector<SubAccountBalance> balances;
        QVERIFY(subAccountBalances(connection.database(), QDate(2024, 1, 1), QDate(2024, 12, 31),
                                   EntryFilter::WithoutClosing, &balances));
        std::map<qint64, const SubAccountBalance *> byId;
        for (const SubAccountBalance &b : balances)
            byId[b.subAccountId] = &b;

        // The revenue keeps its year's credit; with the closing entry it would be zero.
        const SubAccountBalance &quote = *byId.at(c.quote);
        QCOMPARE(quote.saldo2(), Money::fromCents(12345));
        QCOMPARE(quote.saldo(), Money::fromCents(12345));
        QCOMPARE(quote.ledgerCode, u"R01"_s);
        QCOMPARE(quote.accountCode, u"R01001"_s);
        QCOMPARE(quote.nature, Natures::Revenues);

        const SubAccountBalance &cassa = *byId.at(c.cassa);
        QCOMPARE(cassa.saldo(), Money::fromCents(50000 + 12345 - 2001));
        QCOMPARE(cassa.ledgerGroup, u"SP"_s);
        QVERIFY(cassa.bilancio);
        QCOMPARE(byId.at(c.fondo)->saldo2(), Money::fromCents(50000));
        // A row with the same memorandum sub-account on both sides nets to zero but is listed.
        QVERIFY(byId.at(c.ordine)->saldo().isZero());
        QCOMPARE(byId.at(c.ordine)->dare, Money::fromCents(300));
    }

    void balancesAgreeWithTheCardsView()
    {
        TestArchive a;
        const Chart c = makeChart(a);
        addYear(a, c);
        Connection connection(a.archive());
        std::vector<SubAccountBalance> balances;
        QVERIFY(subAccountBalances(connection.database(), QDate(2024, 1, 1), QDate(2024, 12, 31),
                                   EntryFilter::AllEntries, &balances));
        for (const SubAccountBalance &b : balances) {
            const QVariantList period{b.subAccountId, u"2024-01-01"_s, u"2024-12-31"_s};
            QCOMPARE(a.scalar(u"SELECT SUM(saldo) FROM schede WHERE conto = ? "
                              u"AND data BETWEEN ? AND ?"_s,
                              period)
                         .toLongLong(),
                     b.saldo().units());
            QCOMPARE(a.scalar(u"SELECT SUM(saldo2) FROM schede WHERE conto = ? "
                              u"AND data BETWEEN ? AND ?"_s,
                              period)
                         .toLongLong(),
                     b.saldo2().units());
        }
    }

    void anEmptyPeriodGivesNoLines()
    {
        TestArchive a;
        addYear(a, makeChart(a));
        Connection connection(a.archive());
        std::vector<SubAccountBalance> balances(3);
        QVERIFY(subAccountBalances(connection.database(), QDate(2030, 1, 1), QDate(2030, 12, 31),
                                   EntryFilter::AllEntries, &balances));
        QVERIFY(balances.empty());
    }

    void aDatabaseWithoutEntriesReportsTheEngineText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vuoto.db"_s);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Connection connection(path);
        QVERIFY(connection.isOpen());
        std::vector<SubAccountBalance> balances;
        QString error;
        QVERIFY(!subAccountBalances(connection.database(), QDate(2024, 1, 1), QDate(2024, 12, 31),
                                    EntryFilter::AllEntries, &balances, &error));
        QVERIFY(error.contains(u"regmain"_s));
    }
};

QTEST_GUILESS_MAIN(TestBalances)
#include "tst_balances.moc"
