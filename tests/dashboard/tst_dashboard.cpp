#include "dashboard/DashboardCharts.h"
#include "dashboard/DashboardFigures.h"
#include "dashboard/DashboardWindow.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"

#include <QAbstractBarSeries>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Books {
    qint64 bank, rent, phone, dues;
};

// Two calendar years: 2025 opens the bank with 1.000,00; 2026 has its opening entry, dues in
// January and March, rent and a phone bill.
Books booksOf(TestArchive &a)
{
    const qint64 cash =
        a.addConto(a.addMastro(u"A01"_s, u"Liquidità"_s, 1), u"A01001"_s, u"Banche"_s);
    a.exec(u"UPDATE conti SET liquidita = 1 WHERE id = ?"_s, {cash});
    const qint64 costs = a.addMastro(u"C01"_s, u"Costi"_s, 3);
    const qint64 revenues = a.addMastro(u"R01"_s, u"Proventi"_s, 4);
    const qint64 equity = a.addSottoconto(
        a.addConto(a.addMastro(u"P01"_s, u"Patrimonio"_s, 2), u"P01001"_s, u"Fondo"_s), u"Fondo"_s);
    const Books b{a.addSottoconto(cash, u"Banca"_s),
                  a.addSottoconto(a.addConto(costs, u"C01001"_s, u"Affitti"_s), u"Affitto sede"_s),
                  a.addSottoconto(a.addConto(costs, u"C01002"_s, u"Telefono"_s), u"Telefono"_s),
                  a.addSottoconto(a.addConto(revenues, u"R01001"_s, u"Quote"_s), u"Quote"_s)};
    a.addEntry(QDate(2025, 1, 1), {{b.bank, equity, Money::fromCents(100000), u"apertura"_s}}, 1);
    a.addEntry(QDate(2025, 6, 1), {{b.bank, b.dues, Money::fromCents(20000), u"quote"_s}});
    a.addEntry(QDate(2026, 1, 1), {{b.bank, equity, Money::fromCents(120000), u"apertura"_s}}, 1);
    a.addEntry(QDate(2026, 1, 10), {{b.bank, b.dues, Money::fromCents(30000), u"quote"_s}});
    a.addEntry(QDate(2026, 2, 5), {{b.rent, b.bank, Money::fromCents(50000), u"affitto"_s}});
    a.addEntry(QDate(2026, 3, 3), {{b.phone, b.bank, Money::fromCents(4550), u"telefono"_s}});
    a.addEntry(QDate(2026, 3, 20), {{b.bank, b.dues, Money::fromCents(10000), u"quote"_s}});
    return b;
}

DashboardFigures figuresOf(const TestArchive &a, const QDate &date)
{
    Connection connection(a.archive(), Connection::Mode::ReadOnly);
    QString error;
    std::optional<DashboardFigures> figures = dashboardFigures(connection.database(), date, &error);
    if (!figures)
        qFatal("%s", qPrintable(error));
    return *figures;
}

} // namespace

class TestDashboard : public QObject {
    Q_OBJECT

private slots:
    void figuresOfASmallArchive()
    {
        TestArchive a;
        booksOf(a);
        const DashboardFigures f = figuresOf(a, QDate(2026, 3, 31));
        QCOMPARE(f.year.label, u"2026"_s);
        QCOMPARE(f.dailyCash.size(), 365);
        QCOMPARE(f.dailyCash[0], Money::fromCents(120000));
        QCOMPARE(f.dailyCash[9], Money::fromCents(150000));
        QCOMPARE(f.dailyCash[35], Money::fromCents(100000));
        QCOMPARE(f.dailyCash.last(), Money::fromCents(105450));
        QCOMPARE(f.dailyCashBefore[200], Money::fromCents(120000));
        QCOMPARE(f.revenues[0], Money::fromCents(30000));
        QCOMPARE(f.costs[1], Money::fromCents(50000));
        QCOMPARE(f.runningResult()[2], Money::fromCents(30000 - 50000 - 4550 + 10000));
        QCOMPARE(f.largestCosts.size(), 2);
        QCOMPARE(f.largestCosts[0].description, u"Affitti"_s);
        QCOMPARE(f.largestCosts[1].amount, Money::fromCents(4550));
        QCOMPARE(f.cash.now, Money::fromCents(105450));
        QCOMPARE(f.cash.yearEarlier, Money::fromCents(100000));
        QCOMPARE(f.result.now, Money::fromCents(-14550));
        QCOMPARE(f.result.yearEarlier, Money());

        // The JSON says the same, in exact decimals.
        const QJsonObject json = QJsonDocument::fromJson(dashboardJson(f)).object();
        QCOMPARE(json[u"cassa"_s].toArray()[9].toObject()[u"saldo"_s].toString(), u"1500.00"_s);
        QCOMPARE(json[u"mesi"_s].toArray()[2].toObject()[u"costi"_s].toString(), u"45.50"_s);
        QCOMPARE(json[u"costiMaggiori"_s].toArray()[0].toObject()[u"importo"_s].toString(),
                 u"500.00"_s);
        QCOMPARE(json[u"indicatori"_s][u"cassa"_s][u"annoPrima"_s].toString(), u"1000.00"_s);

        // Nothing after the working date that heads the page.
        const DashboardFigures february = figuresOf(a, QDate(2026, 2, 28));
        QCOMPARE(february.costs[2], Money());
        QCOMPARE(february.largestCosts.size(), 1);

        // The first year: no year before, its opening entry counted from its first day.
        const DashboardFigures first = figuresOf(a, QDate(2025, 3, 31));
        QVERIFY(first.dailyCashBefore.isEmpty());
        QVERIFY(!first.cash.yearEarlier);
        QCOMPARE(first.dailyCash[0], Money::fromCents(100000));
        QCOMPARE(first.dailyCash.last(), Money::fromCents(120000));
    }

    // Names repeat across areas and share long beginnings: each column keeps its own label,
    // with its code, and its own amount.
    void eachItemKeepsItsLabelAndAmount()
    {
        const QList<DashboardItem> items{
            {1, u"310020"_s, u"Servizi"_s, Money::fromCents(31280)},
            {2, u"350020"_s, u"Servizi"_s, Money::fromCents(25000)},
            {3, u"330010"_s, u"Oneri per raccolte fondi occasionali di beneficenza"_s,
             Money::fromCents(2340)},
            {4, u"330020"_s, u"Oneri per raccolte fondi occasionali di primavera"_s,
             Money::fromCents(123550)}};
        std::unique_ptr<QChart> chart(itemsChart(items, u"Costi maggiori"_s, true));
        const auto *axis = qobject_cast<QBarCategoryAxis *>(chart->axes(Qt::Vertical).first());
        const auto *series = qobject_cast<QAbstractBarSeries *>(chart->series().first());
        QCOMPARE(axis->count(), 4);
        const QBarSet *set = series->barSets().first();
        for (qsizetype i = 0; i < items.size(); ++i) {
            // Drawn from the bottom: the largest last.
            const DashboardItem &item = items[items.size() - 1 - i];
            const QString label = axis->at(int(i));
            QVERIFY2(label.contains(u"  "_s + item.code + u' '), qPrintable(label));
            QCOMPARE(set->at(int(i)), double(item.amount.units()) / Money::UnitsPerCurrency);
        }
        QVERIFY(axis->at(1).startsWith(u"23,40  "_s));
        QVERIFY(axis->at(0).startsWith(u"1.235,50  "_s));
        QVERIFY(axis->at(0).contains(u"…"_s));
    }

    // Ctrl+Shift+S saves the whole page, into the archive's documents.
    void savesTheWholePageByKeys()
    {
        ScriptedMessages messages;
        TestArchive a;
        booksOf(a);
        FiscalEnvironment environment(a.archive());
        environment.setWorkingDate(QDate(2026, 3, 31));
        environment.refresh();
        DashboardWindow window(environment, {});
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QString out = a.folder() + u"/documenti/pagina.pdf"_s;
        messages.files = {out};
        window.chartViews()[0]->setFocus();
        QTest::keyClick(window.chartViews()[0], Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(messages.saveStarts,
                 QStringList{a.folder() + u"/documenti/Cruscotto 2026-03-31.png"_s});
        QFile pdf(out);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
    }

    // Tab to the largest costs, Down to the second, Enter opens its account's cards.
    void opensAnAccountsCardsByKeys()
    {
        ScriptedMessages messages;
        TestArchive a;
        booksOf(a);
        FiscalEnvironment environment(a.archive());
        environment.setWorkingDate(QDate(2026, 3, 31));
        environment.refresh();
        QStringList opened;
        DashboardWindow window(environment, [&](const QString &account) { opened << account; });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QChartView *costs = window.chartViews()[2];
        costs->setFocus();
        QTest::keyClick(costs, Qt::Key_Down);
        QTest::keyClick(costs, Qt::Key_Return);
        QCOMPARE(opened, QStringList{u"Telefono"_s});
        QVERIFY(messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestDashboard)
#include "tst_dashboard.moc"
