#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "main/AccountCards.h"
#include "main/AccountCardsSource.h"
#include "main/MainViews.h"
#include "support/TestArchive.h"
#include "ui/grid/GroupedGridModel.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

Money eur(qint64 euros)
{
    return Money::fromCents(euros * 100);
}

// The account cards of 2024 as the main window builds them, with a search text.
struct Cards {
    RowSet rows;
    AccountCards cards;
    GroupedGridModel model;

    explicit Cards(const Archive &a, const QString &search = {})
    {
        const MainViewDefinition &view = mainViewDefinition(MainView::Schede);
        Connection connection(a);
        QString error;
        if (!rows.load(connection, view.statement,
                       mainViewBindings(MainView::Schede, {2024, 1, 1}, {2024, 12, 31}), &error))
            qFatal("%s", qPrintable(error));
        QList<int> columns;
        for (const QString &field : view.searchFields)
            columns.append(rows.field(field));
        cards.setRows(rows);
        cards.build(rows.matching(columns, effectiveSearch(search)));
        const QStringList names = FiscalEnvironment().natureNames();
        model.setLayout(AccountCards::columns(names), AccountCards::Levels, AccountCards::Prog);
        model.setSource(accountCardsSource(cards, names, model.formatter()));
    }

    // Each row as "caption or entry number|Dare|Avere|Saldo|Contropartita", indented by level.
    QStringList dump(const QModelIndex &parent = {}, int depth = 0) const
    {
        QStringList lines;
        for (int r = 0; r < model.rowCount(parent); ++r) {
            QStringList cells;
            for (int c : {AccountCards::Prog, AccountCards::Dare, AccountCards::Avere,
                          AccountCards::Saldo, AccountCards::Contropartita})
                cells.append(model.index(r, c, parent).data().toString());
            lines.append(QString(depth * 2, u' ') + cells.join(u'|'));
            lines += dump(model.index(r, 0, parent), depth + 1);
        }
        return lines;
    }
};

} // namespace

class TestAccountCards : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void groupsAndRunningBalancesByNature()
    {
        TestArchive a;
        const qint64 cassa = a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Attività"_s, 1), u"A01001"_s, u"Liquidità"_s),
            u"Cassa"_s);
        const qint64 rossi = a.addSottoconto(
            a.addConto(a.addMastro(u"P01"_s, u"Debiti"_s, 2), u"P01001"_s, u"Fornitori"_s),
            u"Rossi"_s);
        const qint64 negozio = a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Ricavi"_s, 4), u"R01001"_s, u"Vendite"_s),
            u"Negozio"_s);
        const qint64 garanzie = a.addSottoconto(
            a.addConto(a.addMastro(u"O01"_s, u"Ordine"_s, 0), u"O01001"_s, u"Impegni"_s),
            u"Garanzie"_s);
        auto entry = [&](const QDate &date, int prog, qint64 dare, qint64 avere, qint64 euros) {
            a.addEntry(date, {{dare, avere, eur(euros), u"riga"_s}}, 0, prog);
        };
        entry({2023, 12, 31}, 9, cassa, rossi, 1000); // the year before: not listed
        entry({2024, 1, 10}, 1, cassa, rossi, 100);
        entry({2024, 1, 15}, 2, negozio, garanzie, 100);
        entry({2024, 2, 10}, 3, rossi, cassa, 30);
        entry({2024, 2, 15}, 4, garanzie, negozio, 30);
        entry({2024, 3, 10}, 5, cassa, rossi, 10);
        entry({2024, 3, 15}, 6, negozio, garanzie, 10);

        Cards c(a);
        QAbstractItemModelTester tester(&c.model);
        const QStringList expected = {
            u"1. Attivo |110,00|30,00|80,00|"_s,
            u"  Liquidità  [+80,00]|110,00|30,00|80,00|"_s,
            u"    Cassa  [+80,00]|110,00|30,00|80,00|"_s,
            u"      5|10,00 | |80,00 |Rossi"_s,
            u"      3| |30,00 |70,00 |Rossi"_s,
            u"      1|100,00 | |100,00 |Rossi"_s,
            u"2. Passivo |30,00|110,00|-80,00|"_s,
            u"  Fornitori  [-80,00]|30,00|110,00|-80,00|"_s,
            u"    Rossi  [-80,00]|30,00|110,00|-80,00|"_s,
            u"      5| |10,00 |-80,00 |Cassa"_s,
            u"      3|30,00 | |-70,00 |Cassa"_s,
            u"      1| |100,00 |-100,00 |Cassa"_s,
            u"4. Ricavi |110,00|30,00|-80,00|"_s,
            u"  Vendite  [-80,00]|110,00|30,00|-80,00|"_s,
            u"    Negozio  [-80,00]|110,00|30,00|-80,00|"_s,
            u"      6|10,00 | |-80,00 |Garanzie"_s,
            u"      4| |30,00 |-70,00 |Garanzie"_s,
            u"      2|100,00 | |-100,00 |Garanzie"_s,
            u"5. Conti d'ordine |30,00|110,00|-80,00|"_s,
            u"  Impegni  [-80,00]|30,00|110,00|-80,00|"_s,
            u"    Garanzie  [-80,00]|30,00|110,00|-80,00|"_s,
            u"      6| |10,00 |-80,00 |Negozio"_s,
            u"      4|30,00 | |-70,00 |Negozio"_s,
            u"      2| |100,00 |-100,00 |Negozio"_s,
        };
        QCOMPARE(c.dump(), expected);

        // A search rebuilds the cards over the rows it keeps.
        Cards found(a, u"liquid"_s);
        QCOMPARE(found.dump().mid(0, 3), expected.mid(0, 3));
        QCOMPARE(found.cards.lineCount(), 3);
        // Lines kept after other sub-accounts' lines keep their own amounts and balances.
        QCOMPARE(Cards(a, u"fornitori"_s).dump(), expected.mid(6, 6));
        QCOMPARE(Cards(a, u"l"_s).cards.lineCount(), 12); // one character does not filter
    }

    void sameNamedSubAccountsKeepTheirOwnBalances()
    {
        TestArchive a;
        const qint64 attivita = a.addMastro(u"A01"_s, u"Attività"_s, 1);
        const qint64 banche = a.addConto(attivita, u"A01001"_s, u"Banche"_s);
        const qint64 v1 = a.addSottoconto(banche, u"Varie"_s);
        const qint64 v2 = a.addSottoconto(banche, u"Varie"_s);
        const qint64 v3 =
            a.addSottoconto(a.addConto(attivita, u"A01002"_s, u"Cassa"_s), u"Varie"_s);
        const qint64 rossi = a.addSottoconto(
            a.addConto(a.addMastro(u"P01"_s, u"Debiti"_s, 2), u"P01001"_s, u"Fornitori"_s),
            u"Rossi"_s);
        a.addEntry({2024, 1, 1}, {{v1, rossi, eur(100), u"a"_s}}, 0, 1);
        a.addEntry({2024, 1, 2}, {{v2, rossi, eur(20), u"b"_s}}, 0, 2);
        a.addEntry({2024, 1, 3}, {{v3, rossi, eur(5), u"c"_s}}, 0, 3);
        a.addEntry({2024, 1, 4}, {{rossi, v3, eur(-7), u"storno"_s}}, 0, 4);

        Cards c(a);
        const QStringList dump = c.dump();
        QCOMPARE(dump.mid(0, 10), (QStringList{
                                      u"1. Attivo |125,00|-7,00|132,00|"_s,
                                      u"  Banche  [+120,00]|120,00|-|120,00|"_s,
                                      u"    Varie  [+100,00]|100,00|-|100,00|"_s,
                                      u"      1|100,00 | |100,00 |Rossi"_s,
                                      u"    Varie  [+20,00]|20,00|-|20,00|"_s,
                                      u"      2|20,00 | |20,00 |Rossi"_s,
                                      u"  Cassa  [+12,00]|5,00|-7,00|12,00|"_s,
                                      u"    Varie  [+12,00]|5,00|-7,00|12,00|"_s,
                                      u"      4| |-7,00 |12,00 |Rossi"_s,
                                      u"      3|5,00 | |5,00 |Rossi"_s,
                                  }));

        // The negative credit is red; the other cells keep the default colour.
        const int storno = 2;
        QCOMPARE(c.cards.value(storno, AccountCards::Prog).toInt(), 4);
        const QModelIndex line = c.model.indexOfLine(storno);
        QCOMPARE(line.siblingAtColumn(AccountCards::Avere).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(128, 0, 0));
        QVERIFY(!line.siblingAtColumn(AccountCards::Dare).data(Qt::ForegroundRole).isValid());
    }

    void emptyYearHasNoCards()
    {
        TestArchive a;
        a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Attività"_s, 1), u"A01001"_s, u"Liquidità"_s),
            u"Cassa"_s);
        Cards c(a);
        QAbstractItemModelTester tester(&c.model);
        QCOMPARE(c.cards.lineCount(), 0);
        QCOMPARE(c.model.rowCount(), 0);
    }

    void captionsOfEmptyNamesAndZeroBalances()
    {
        const PatternFormatter italian(QLocale(QLocale::Italian, QLocale::Italy));
        QCOMPARE(AccountCards::groupCaption(1, QString(), Money(), italian), u"(vuoto)  "_s);
        QCOMPARE(AccountCards::groupCaption(2, u"Cassa"_s, eur(-1234567), italian),
                 u"Cassa  [-1.234.567,00]"_s);
        QCOMPARE(AccountCards::groupCaption(0, u"1. Attivo"_s, eur(5), italian), u"1. Attivo "_s);
    }

    // Each caption follows the locale it is given, whichever came first.
    void captionsFollowTheGivenLocale()
    {
        const PatternFormatter english(QLocale(QLocale::English, QLocale::UnitedStates));
        const PatternFormatter italian(QLocale(QLocale::Italian, QLocale::Italy));
        QCOMPARE(AccountCards::groupCaption(2, u"Cassa"_s, eur(1234), english),
                 u"Cassa  [+1,234.00]"_s);
        QCOMPARE(AccountCards::groupCaption(2, u"Cassa"_s, eur(1234), italian),
                 u"Cassa  [+1.234,00]"_s);
        GridColumn amount = GridColumn::money(u"x"_s, u"X"_s, 0, u"#,#.00"_s);
        QCOMPARE(displayText(amount, qint64(12345670000), english), u"1,234,567.00"_s);
        QCOMPARE(displayText(amount, qint64(12345670000), italian), u"1.234.567,00"_s);
        GridColumn date = GridColumn::text(u"d"_s, u"D"_s);
        date.kind = GridColumn::Kind::Date;
        QCOMPARE(displayText(date, u"2024-03-05"_s, PatternFormatter(QLocale(QLocale::German))),
                 u"05.03.2024"_s);
    }
};

QTEST_MAIN(TestAccountCards)
#include "tst_accountcards.moc"
