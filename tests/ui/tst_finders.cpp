#include "data/AccountFinder.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/ChartFinderDialog.h"
#include "ui/SubAccountFinderDialog.h"
#include "ui/grid/DataGrid.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct Chart {
    TestArchive archive;
    qint64 ordine = 0, attivo = 0, costi = 0;
    qint64 banche = 0, cassaConto = 0, spese = 0;
    qint64 cassa = 0, carta = 0, cancelleria = 0;

    Chart()
    {
        attivo = archive.addMastro(u"A01"_s, u"Disponibilità"_s, 1);
        costi = archive.addMastro(u"C01"_s, u"Spese generali"_s, 3);
        ordine = archive.addMastro(u"Z01"_s, u"Beni di terzi"_s, 0);
        cassaConto = archive.addConto(attivo, u"A01001"_s, u"Liquidità"_s);
        banche = archive.addConto(attivo, u"A01002"_s, u"Banche"_s);
        spese = archive.addConto(costi, u"C01001"_s, u"Materiali di consumo"_s);
        cassa = archive.addSottoconto(cassaConto, u"Cassa contanti"_s);
        carta = archive.addSottoconto(spese, u"Carta"_s);
        cancelleria = archive.addSottoconto(spese, u"Penne"_s);
    }
};

// Acts on the modal window that the next call opens, once it is shown.
void whenShown(std::function<void(QWidget *)> action)
{
    QTimer::singleShot(0, qApp, [action] {
        QWidget *window = QApplication::activeModalWidget();
        QVERIFY(window);
        action(window);
        // A failed check must not leave the test waiting on the window.
        if (window->isVisible())
            window->close();
    });
}

void type(QWidget *window, const QString &text)
{
    QTest::keyClicks(window->findChild<QLineEdit *>(u"txtFind"_s), text);
}

int listed(QWidget *window)
{
    return window->findChild<DataGrid *>(u"grid"_s)->model()->rowCount();
}

} // namespace

class TestFinders : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void rowsCarryTheirParentsOnTheSecondLine()
    {
        Chart c;
        const QStringList names{u"Ordine"_s, u"Att"_s, u"Pas"_s, u"Cos"_s, u"Ric"_s};
        RowSet rows;
        QVERIFY(loadFinderRows(c.archive, FinderLevel::Mastri, names, &rows));
        // Memorandum ledgers come first: the finder orders by the stored nature.
        QCOMPARE(rows.value(0, rows.field(u"id"_s)).toLongLong(), c.ordine);
        QCOMPARE(rows.value(0, rows.field(u"cDesc"_s)).toString(), u"Ordine"_s);

        QVERIFY(loadFinderRows(c.archive, FinderLevel::Conti, names, &rows));
        QCOMPARE(rows.rowCount(), 3);
        QCOMPARE(rows.value(0, rows.field(u"cDesc"_s)).toString(), u"Disponibilità  \u2022  Att"_s);

        QVERIFY(loadFinderRows(c.archive, FinderLevel::Sottoconti, names, &rows));
        QCOMPARE(rows.fields().indexOf(u"cmDesc"_s), 5);
        QCOMPARE(rows.value(0, 5).toString(), u"Liquidità  \u2022  Disponibilità  \u2022  Att"_s);
        // Under one account, sub-accounts are in name order.
        QCOMPARE(rows.value(1, 0).toLongLong(), c.carta);
        QCOMPARE(rows.value(2, 0).toLongLong(), c.cancelleria);
    }

    void searchLooksIntoEveryLevelsName()
    {
        Chart c;
        // "ca": Cassa contanti by its name, Carta by its name; Penne is not listed: neither it,
        // its account nor its ledger contain the text. A single character filters nothing.
        whenShown([](QWidget *w) {
            QCOMPARE(w->windowTitle(), u"Cerca un Sottoconto"_s);
            QCOMPARE(w->findChild<QLabel *>(u"lblHint"_s)->text(),
                     u"[INVIO] Inserire un Sottoconto  -  [F5] Nuovo Sottoconto  -  [ESC] "
                     "Annullare"_s);
            QCOMPARE(listed(w), 3);
            type(w, u"c"_s);
            QCOMPARE(listed(w), 3);
            type(w, u"a"_s);
            QCOMPARE(listed(w), 2);
            QTest::keyClick(w->findChild<QLineEdit *>(u"txtFind"_s), Qt::Key_Escape);
        });
        QCOMPARE(SubAccountFinderDialog::choose(nullptr, c.archive), -1);

        // "materiali" matches the account, so both of its sub-accounts; Down, Down, Enter
        // picks the second.
        whenShown([](QWidget *w) {
            type(w, u"materiali"_s);
            QCOMPARE(listed(w), 2);
            auto *grid = w->findChild<DataGrid *>(u"grid"_s);
            QTest::keyClick(w->findChild<QLineEdit *>(u"txtFind"_s), Qt::Key_Down);
            QCOMPARE(w->focusWidget(), grid);
            QTest::keyClick(grid, Qt::Key_Down);
            QTest::keyClick(grid, Qt::Key_Return);
        });
        QCOMPARE(SubAccountFinderDialog::choose(nullptr, c.archive), c.cancelleria);

        // Accents and case are ignored as in the completion; the first Down lands on the first
        // row, the next on the second.
        whenShown([](QWidget *w) {
            type(w, u"LIQUIDITA"_s);
            QCOMPARE(listed(w), 1);
            w->findChild<QLineEdit *>(u"txtFind"_s)->clear();
            type(w, u"materiali"_s);
            auto *grid = w->findChild<DataGrid *>(u"grid"_s);
            QTest::keyClick(w->findChild<QLineEdit *>(u"txtFind"_s), Qt::Key_Down);
            QCOMPARE(grid->currentRow(), 0);
            QVERIFY(grid->selectionModel()->isRowSelected(0, {}));
            QTest::keyClick(grid, Qt::Key_Return);
        });
        QCOMPARE(SubAccountFinderDialog::choose(nullptr, c.archive), c.carta);
    }

    void subAccountFinderKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("inGrid");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("F5 in the search box") << int(Qt::Key_F5) << false << qint64(0);
        QTest::newRow("F5 in the grid") << int(Qt::Key_F5) << true << qint64(0);
        QTest::newRow("Escape in the grid") << int(Qt::Key_Escape) << true << qint64(-1);
    }

    void subAccountFinderKeys()
    {
        QFETCH(int, key);
        QFETCH(bool, inGrid);
        QFETCH(qint64, expected);
        Chart c;
        whenShown([key, inGrid](QWidget *w) {
            QWidget *target = inGrid ? static_cast<QWidget *>(w->findChild<DataGrid *>(u"grid"_s))
                                     : w->findChild<QLineEdit *>(u"txtFind"_s);
            QTest::keyClick(target, Qt::Key(key));
        });
        QCOMPARE(SubAccountFinderDialog::choose(nullptr, c.archive), expected);
    }

    void emptyListChoosesNothing()
    {
        Chart c;
        // Enter and "Inserisci" on an empty list do nothing (no id, and never the 0 that asks
        // for a new sub-account); Escape still cancels.
        whenShown([](QWidget *w) {
            type(w, u"nessuno"_s);
            QCOMPARE(listed(w), 0);
            auto *grid = w->findChild<DataGrid *>(u"grid"_s);
            QTest::keyClick(w->findChild<QLineEdit *>(u"txtFind"_s), Qt::Key_Return);
            QTest::keyClick(grid, Qt::Key_Return);
            w->findChild<QAction *>(u"tbInserisci"_s)->trigger();
            QVERIFY(w->isVisible());
            QTest::keyClick(grid, Qt::Key_Escape);
        });
        QCOMPARE(SubAccountFinderDialog::choose(nullptr, c.archive), -1);
    }

    void closingTheFrameCancels()
    {
        Chart c;
        whenShown([](QWidget *w) { w->close(); });
        QCOMPARE(SubAccountFinderDialog::choose(nullptr, c.archive), -1);
    }

    void gridKeysGoBackToTheSearch()
    {
        Chart c;
        whenShown([](QWidget *w) {
            auto *grid = w->findChild<DataGrid *>(u"grid"_s);
            auto *find = w->findChild<QLineEdit *>(u"txtFind"_s);
            grid->setFocus();
            grid->setCurrentRow(0);
            QTest::keyClick(grid, Qt::Key_Up);
            QCOMPARE(w->focusWidget(), find);
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_B);
            QCOMPARE(find->text(), u"b"_s);
            QCOMPARE(w->focusWidget(), find);
            QTest::keyClicks(find, u"an"_s);
            QCOMPARE(listed(w), 1);
            w->findChild<QToolButton *>(u"imgSearch"_s)->click();
            QCOMPARE(listed(w), 3);
            w->findChild<QAction *>(u"tbAnnulla"_s)->trigger();
        });
        QCOMPARE(ChartFinderDialog::choose(nullptr, c.archive, 1), -1);
    }

    void chartFinderLevels()
    {
        Chart c;
        whenShown([](QWidget *w) {
            QCOMPARE(w->windowTitle(), u"Cerca un Mastro"_s);
            QCOMPARE(w->findChild<QLabel *>(u"lblHint"_s)->text(),
                     u"[INVIO]  Inserire un record  -  [ESC] Annullare"_s);
            QVERIFY(!w->findChild<QAction *>(u"tbNuovo"_s));
            // F5 asks for nothing here.
            QTest::keyClick(w->findChild<QLineEdit *>(u"txtFind"_s), Qt::Key_F5);
            QVERIFY(w->isVisible());
            type(w, u"spese"_s);
            w->findChild<QAction *>(u"tbInserisci"_s)->trigger();
        });
        QCOMPARE(ChartFinderDialog::choose(nullptr, c.archive, 0), c.costi);

        // Accounts are found by their ledger's name too; a double click picks.
        whenShown([](QWidget *w) {
            QCOMPARE(w->windowTitle(), u"Cerca un Conto"_s);
            type(w, u"disponib"_s);
            QCOMPARE(listed(w), 2);
            auto *grid = w->findChild<DataGrid *>(u"grid"_s);
            const QRect second = grid->visualRect(grid->model()->index(1, 1));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, second.center());
        });
        QCOMPARE(ChartFinderDialog::choose(nullptr, c.archive, 1), c.banche);
    }

    void startsWithTheGivenText()
    {
        Chart c;
        whenShown([](QWidget *w) {
            QCOMPARE(w->findChild<QLineEdit *>(u"txtFind"_s)->text(), u"penne"_s);
            QCOMPARE(listed(w), 1);
            QTest::keyClick(w->findChild<QLineEdit *>(u"txtFind"_s), Qt::Key_Return);
            QTest::keyClick(w->findChild<DataGrid *>(u"grid"_s), Qt::Key_Return);
        });
        QCOMPARE(SubAccountFinderDialog::choose(nullptr, c.archive, u" penne "_s), c.cancelleria);
    }
};

QTEST_MAIN(TestFinders)
#include "tst_finders.moc"
