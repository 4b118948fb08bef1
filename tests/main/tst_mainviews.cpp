#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "main/MainViews.h"
#include "support/TestArchive.h"
#include "ui/grid/BoundGridModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A view's rows as the grid shows them, visible columns only, cells joined by '|'.
QStringList listed(const Archive &a, MainView view, const QString &search = {})
{
    RowSet rows;
    Connection connection(a);
    QString error;
    if (!rows.load(connection, mainViewDefinition(view).statement,
                   mainViewBindings(view, {2024, 1, 1}, {2024, 12, 31}), &error))
        qFatal("%s", qPrintable(error));
    BoundGridModel model;
    QAbstractItemModelTester tester(&model);
    const QList<GridColumn> columns = mainViewColumns(view, FiscalEnvironment().natureNames());
    model.bind(&rows, columns);
    QList<int> searched;
    for (const QString &field : mainViewDefinition(view).searchFields)
        searched.append(rows.field(field));
    model.setFilter(rows.matching(searched, effectiveSearch(search)));
    QStringList result;
    QStringList header;
    for (int c = 0; c < columns.size(); ++c) {
        if (columns.at(c).visible)
            header.append(model.headerData(c, Qt::Horizontal).toString());
    }
    result.append(header.join(u'|'));
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < columns.size(); ++c) {
            if (columns.at(c).visible)
                cells.append(model.index(r, c).data().toString());
        }
        result.append(cells.join(u'|'));
    }
    return result;
}

struct Chart {
    qint64 cassa, banca, quote, impegni;

    explicit Chart(TestArchive &a)
    {
        const qint64 attivo = a.addMastro(u"A01"_s, u"Disponibilità"_s, 1, u"Circolante"_s);
        const qint64 ordine = a.addMastro(u"O01"_s, u"Ordine"_s, 0);
        const qint64 ricavi = a.addMastro(u"R01"_s, u"Proventi"_s, 4);
        const qint64 liquidita = a.addConto(attivo, u"A01001"_s, u"Liquidità"_s, true);
        cassa = a.addSottoconto(liquidita, u"Cassa"_s);
        banca = a.addSottoconto(a.addConto(attivo, u"A01002"_s, u"Banche"_s), u"Banca d'Alba"_s);
        quote = a.addSottoconto(a.addConto(ricavi, u"R01001"_s, u"Quote"_s), u"Quote soci"_s);
        impegni = a.addSottoconto(a.addConto(ordine, u"O01001"_s, u"Impegni"_s), u"Garanzie"_s);
    }
};

} // namespace

class TestMainViews : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void journalListsTheYearNewestFirst()
    {
        TestArchive a;
        Chart chart(a);
        a.addEntry({2023, 12, 31},
                   {{chart.cassa, chart.quote, Money::fromCents(100), u"vecchia"_s}}, 0, 7);
        a.addEntry({2024, 1, 1},
                   {{chart.cassa, {}, Money::fromCents(150000), u"Apertura cassa"_s},
                    {{}, chart.quote, Money::fromCents(150000), u"Apertura quote"_s}},
                   1, 1);
        const qint64 second = a.addEntry(
            {2024, 3, 5},
            {{chart.banca, chart.quote, Money::fromCents(123456789), u"Quota d'iscrizione"_s}}, 0,
            2);
        a.exec(u"UPDATE regmain SET attached = 'ricevuta.pdf' WHERE id = ?"_s, {second});
        a.addEntry({2024, 12, 31},
                   {{chart.quote, chart.cassa, Money::fromCents(50), u"Chiusura"_s}}, -1, 3);
        // An entry not yet numbered comes last, on either engine.
        a.addEntry({2024, 6, 1}, {{chart.cassa, chart.quote, Money::fromCents(7), u"Nuova"_s}});

        QStringList movements = listed(a, MainView::Movimenti);
        const QString unnumbered = movements.takeLast();
        QVERIFY2(unnumbered.startsWith(u"01/06/2024|"_s) &&
                     unnumbered.endsWith(u"|Cassa|Quote soci|0,07 |Nuova|"_s),
                 qPrintable(unnumbered));
        QCOMPARE(movements,
                 (QStringList{
                     u"Data|Prog.vo|Sottoconto in dare|Sottoconto in avere|Importo |Descrizione|"_s,
                     u"31/12/2024|3|Quote soci|Cassa|0,50 |Chiusura|"_s,
                     u"05/03/2024|2|Banca d'Alba|Quote soci|1.234.567,89 |Quota d'iscrizione|"_s,
                     u"01/01/2024|1|Cassa||1.500,00 |Apertura cassa|"_s,
                     u"01/01/2024|1||Quote soci|1.500,00 |Apertura quote|"_s,
                 }));
        // An apostrophe is plain text; one character does not filter.
        QCOMPARE(listed(a, MainView::Movimenti, u"d'a"_s).size(), 2);
        QCOMPARE(listed(a, MainView::Movimenti, u"d"_s).size(), 6);
        QCOMPARE(listed(a, MainView::Movimenti, u"QUOTE"_s).size(), 5);

        QCOMPARE(journalRowStyle(-1), u"chiusura"_s);
        QCOMPARE(journalRowStyle(1), u"apertura"_s);
        QCOMPARE(journalRowStyle(0), QString());
        QCOMPARE(attachmentIcon(u"ricevuta.pdf"_s), int(GridIcon::PaperClip));
        QCOMPARE(attachmentIcon(QVariant()), -1);
    }

    void chartViewsListEveryRecordInTheirOrder()
    {
        TestArchive a;
        Chart chart(a);
        QCOMPARE(listed(a, MainView::Mastri), (QStringList{
                                                  u"Mastro|Gruppo|Natura"_s,
                                                  u"Ordine||Conti d'ordine"_s,
                                                  u"Disponibilità|Circolante|Attivo"_s,
                                                  u"Proventi||Ricavi"_s,
                                              }));
        QCOMPARE(listed(a, MainView::Conti), (QStringList{
                                                 u"Conto|Mastro|Natura|"_s,
                                                 u"Impegni|Ordine|Conti d'ordine|"_s,
                                                 u"Liquidità|Disponibilità|Attivo|"_s,
                                                 u"Banche|Disponibilità|Attivo|"_s,
                                                 u"Quote|Proventi|Ricavi|"_s,
                                             }));
        QCOMPARE(listed(a, MainView::Sottoconti), (QStringList{
                                                      u"SottoConto|Conto|Natura"_s,
                                                      u"Garanzie|Impegni|Conti d'ordine"_s,
                                                      u"Cassa|Liquidità|Attivo"_s,
                                                      u"Banca d'Alba|Banche|Attivo"_s,
                                                      u"Quote soci|Quote|Ricavi"_s,
                                                  }));
        QCOMPARE(listed(a, MainView::Conti, u"disp"_s).size(), 3);
        QCOMPARE(listed(a, MainView::Mastri, u"circ"_s).size(), 2);
        QCOMPARE(listed(a, MainView::Sottoconti, u"quote"_s).size(), 2);
        QCOMPARE(balanceMarkIcon(1), int(GridIcon::Mark));
        QCOMPARE(balanceMarkIcon(0), -1);
    }

    void popupMenuRules_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<bool>("hasRecord");
        QTest::addColumn<QVariant>("attached");
        QTest::addColumn<QList<bool>>("expected"); // nuovo, duplica, modifica, elimina, allegato
        QTest::newRow("empty grid") << 1 << false << QVariant() << QList<bool>{1, 0, 0, 0, 0};
        QTest::newRow("journal, no attachment")
            << 1 << true << QVariant() << QList<bool>{1, 1, 1, 1, 0};
        QTest::newRow("journal, attachment")
            << 1 << true << QVariant(u"a.pdf"_s) << QList<bool>{1, 1, 1, 1, 1};
        QTest::newRow("accounts") << 3 << true << QVariant() << QList<bool>{1, 0, 1, 1, 0};
        QTest::newRow("cards") << 0 << true << QVariant() << QList<bool>{1, 0, 1, 1, 0};
    }
    void popupMenuRules()
    {
        QFETCH(int, view);
        QFETCH(bool, hasRecord);
        QFETCH(QVariant, attached);
        QFETCH(QList<bool>, expected);
        const PopupMenuRules rules = ::popupMenuRules(MainView(view), hasRecord, attached);
        QCOMPARE((QList<bool>{rules.add, rules.duplicate, rules.edit, rules.remove,
                              rules.openAttachment}),
                 expected);
    }
};

QTEST_MAIN(TestMainViews)
#include "tst_mainviews.moc"
