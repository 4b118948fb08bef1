#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "main/MainWindow.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/GroupedGrid.h"
#include "ui/grid/GroupedGridModel.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

struct Fixture {
    TestArchive archive;
    FiscalEnvironment environment{archive};
    qint64 cassa = 0;
    qint64 quote = 0;
    qint64 firstEntry = 0;

    explicit Fixture(bool withEntries = true)
    {
        writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser,
                       archive.folder());
        const qint64 attivo = archive.addMastro(u"A01"_s, u"Disponibilità"_s, 1);
        cassa = archive.addSottoconto(archive.addConto(attivo, u"A01001"_s, u"Liquidità"_s),
                                      u"Cassa"_s);
        quote =
            archive.addSottoconto(archive.addConto(archive.addMastro(u"R01"_s, u"Proventi"_s, 4),
                                                   u"R01001"_s, u"Quote"_s),
                                  u"Quote soci"_s);
        if (withEntries) {
            firstEntry = archive.addEntry(
                {2024, 2, 1}, {{cassa, quote, Money::fromCents(1000), u"Quota Rossi"_s}}, 0, 1);
            archive.addEntry({2024, 3, 1},
                             {{cassa, quote, Money::fromCents(2000), u"Quota Bianchi"_s}}, 0, 2);
        }
        environment.setWorkingDate({2024, 5, 15});
        environment.refresh();
    }
};

QAction *menuAction(const MainWindow &window, const QString &menu, const QString &item)
{
    for (QAction *top : window.menuBar()->actions()) {
        if (top->text() != menu)
            continue;
        for (QAction *action : top->menu()->actions()) {
            if (action->text() == item)
                return action;
        }
    }
    return nullptr;
}

QAction *popupAction(const MainWindow &window, const QString &item)
{
    for (QAction *action : window.findChild<QMenu *>(u"mnuReg"_s)->actions()) {
        if (action->text() == item)
            return action;
    }
    return nullptr;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void startsOnTheJournal()
    {
        Fixture f;
        MainWindow w(f.environment);
        QCOMPARE(w.curView(), MainView::Movimenti);
        QCOMPARE(w.findChild<QLabel *>(u"lblTitle"_s)->text(), u"Movimenti"_s);
        QCOMPARE(w.findChild<QListWidget *>(u"bb"_s)->currentRow(), 1);
        for (const QString &view :
             {u"Schede"_s, u"Movimenti"_s, u"Mastri"_s, u"Conti"_s, u"Sottoconti"_s})
            QCOMPARE(menuAction(w, u"&Visualizza"_s, view)->isChecked(), view == u"Movimenti"_s);
        QVERIFY(!w.findChild<QAction *>(u"collapseall"_s)->isEnabled());
        QVERIFY(!w.findChild<QAction *>(u"expandall"_s)->isEnabled());
        QCOMPARE(w.listedRows(), 2);
        QVERIFY(w.findChild<DataGrid *>(u"grid"_s)->isVisibleTo(&w));
        QCOMPARE(w.statusPanelText(3), u"Data di Lavoro: 15/05/24 - Esercizio: 2024 "_s);
        QCOMPARE(w.findChild<QLabel *>(u"lblSearchComment"_s)->text(),
                 u"Cerca nelle Descrizioni e nei Sottoconti del dettaglio Movimenti"_s);
        QVERIFY(w.minimumWidth() > 900 && w.minimumHeight() > 500);

        // Commands whose windows do not exist yet stay disabled.
        for (const auto &[menu, item] : {std::pair{u"&File"_s, u"Stampa"_s},
                                         {u"&Record"_s, u"Nuovo"_s},
                                         {u"&Record"_s, u"Apri"_s},
                                         {u"&Record"_s, u"Elimina"_s},
                                         {u"&Visualizza"_s, u"Data di lavoro"_s},
                                         {u"&Strumenti"_s, u"Ricalcolo progressivi"_s},
                                         {u"&?"_s, u"&Informazioni su"_s}})
            QVERIFY2(!menuAction(w, menu, item)->isEnabled(), qPrintable(item));
        QVERIFY(menuAction(w, u"&File"_s, u"Apri Contabilità"_s)->isEnabled());
        QCOMPARE(menuAction(w, u"&Visualizza"_s, u"Conti"_s)->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_F4));
        QCOMPARE(menuAction(w, u"&Record"_s, u"Elimina"_s)->shortcut(),
                 QKeySequence(Qt::Key_Delete));
    }

    void switchingViews()
    {
        Fixture f;
        MainWindow w(f.environment);
        w.findChild<QLineEdit *>(u"txtFind"_s)->setText(u"Rossi"_s);
        QCOMPARE(w.listedRows(), 1);

        menuAction(w, u"&Visualizza"_s, u"Schede"_s)->trigger();
        QCOMPARE(w.curView(), MainView::Schede);
        QVERIFY(w.findChild<QLineEdit *>(u"txtFind"_s)->text().isEmpty());
        QVERIFY(w.findChild<QAction *>(u"expandall"_s)->isEnabled());
        QVERIFY(w.findChild<GroupedGrid *>(u"cardsGrid"_s)->isVisibleTo(&w));
        QCOMPARE(w.listedRows(), 4);
        QCOMPARE(w.property("helpContext").toInt(), 46);
        // Natures open, accounts closed.
        auto *grid = w.findChild<GroupedGrid *>(u"cardsGrid"_s);
        const QModelIndex nature = grid->model()->index(0, 0);
        QVERIFY(grid->isExpanded(nature));
        QVERIFY(!grid->isExpanded(grid->model()->index(0, 0, nature)));

        auto *bb = w.findChild<QListWidget *>(u"bb"_s);
        emit bb->itemClicked(bb->item(4));
        QCOMPARE(w.curView(), MainView::Sottoconti);
        QVERIFY(menuAction(w, u"&Visualizza"_s, u"Sottoconti"_s)->isChecked());
        QVERIFY(!menuAction(w, u"&Visualizza"_s, u"Schede"_s)->isChecked());
        QCOMPARE(w.listedRows(), 2);
        QVERIFY(!w.findChild<QAction *>(u"collapseall"_s)->isEnabled());
    }

    void typingInTheGridSearches()
    {
        Fixture f;
        MainWindow w(f.environment);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto *grid = w.findChild<DataGrid *>(u"grid"_s);
        auto *find = w.findChild<QLineEdit *>(u"txtFind"_s);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_B);
        QCOMPARE(find->text(), u"b"_s);
        QCOMPARE(find->cursorPosition(), 1);
        QCOMPARE(QApplication::focusWidget(), find);
        QCOMPARE(w.listedRows(), 2); // one character does not filter
        QTest::keyClicks(find, u"ian"_s);
        QCOMPARE(w.listedRows(), 1);
        QTest::keyClick(find, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), grid);
        QCOMPARE(grid->currentRow(), 0);

        w.findChild<QToolButton *>(u"imgSearch"_s)->click();
        QVERIFY(find->text().isEmpty());
        QCOMPARE(w.listedRows(), 2);
    }

    void searchBoxColours()
    {
        Fixture f;
        MainWindow w(f.environment);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto *find = w.findChild<QLineEdit *>(u"txtFind"_s);
        find->setFocus();
        QCOMPARE(find->palette().color(QPalette::Base),
                 QApplication::palette().color(QPalette::Base));
        w.findChild<DataGrid *>(u"grid"_s)->setFocus();
        QCOMPARE(find->palette().color(QPalette::Base),
                 QApplication::palette().color(QPalette::Button));
    }

    void openingRecords()
    {
        Fixture f;
        MainWindow w(f.environment);
        QList<qint64> opened;
        w.setRecordEditor(MainView::Movimenti, {[] { return 0; },
                                                [&](qint64 id) {
                                                    opened.append(id);
                                                    return id;
                                                }});
        QVERIFY(menuAction(w, u"&Record"_s, u"Apri"_s)->isEnabled());
        auto *grid = w.findChild<DataGrid *>(u"grid"_s);
        grid->setCurrentRow(1);
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(opened, QList<qint64>{f.firstEntry});

        // On the account cards only entry lines open.
        w.setRecordEditor(MainView::Schede, {{}, [&](qint64 id) {
                                                 opened.append(id);
                                                 return id;
                                             }});
        w.showView(MainView::Schede);
        auto *cards = w.findChild<GroupedGrid *>(u"cardsGrid"_s);
        cards->setCurrentIndex(cards->model()->index(0, 0));
        QTest::keyClick(cards, Qt::Key_Return);
        QCOMPARE(opened.size(), 1);
        cards->expandEverything();
        cards->setCurrentIndex(cards->groupedModel()->indexOfLine(1));
        QTest::keyClick(cards, Qt::Key_Return);
        QCOMPARE(opened, (QList<qint64>{f.firstEntry, f.firstEntry}));
    }

    void accountCardsKeepTheirPlaceOnReload()
    {
        Fixture f;
        MainWindow w(f.environment);
        w.showView(MainView::Schede);
        auto *cards = w.findChild<GroupedGrid *>(u"cardsGrid"_s);
        GroupedGridModel *model = cards->groupedModel();
        auto expandedGroups = [&] {
            QStringList open;
            std::function<void(const QModelIndex &)> walk = [&](const QModelIndex &parent) {
                for (int row = 0; row < model->rowCount(parent); ++row) {
                    const QModelIndex child = model->index(row, 0, parent);
                    if (model->group(child) && cards->isExpanded(child)) {
                        open.append(child.data().toString());
                        walk(child);
                    }
                }
            };
            walk({});
            return open;
        };
        cards->expandEverything();
        cards->collapse(model->index(1, 0)); // the second nature, closed by the user
        cards->setCurrentIndex(model->indexOfLine(1));
        const QStringList openBefore = expandedGroups();
        const QVariant cardBefore = model->group(cards->currentIndex().parent())->key;

        f.archive.addEntry({2024, 4, 1}, {{f.cassa, f.quote, Money::fromCents(500), u"Quota"_s}}, 0,
                           3);
        w.reloadView();
        QCOMPARE(w.listedRows(), 6);
        QCOMPARE(expandedGroups().size(), openBefore.size());
        QVERIFY(!cards->isExpanded(model->index(1, 0)));
        QCOMPARE(model->group(cards->currentIndex().parent())->key, cardBefore);
        QCOMPARE(cards->currentIndex().row(), 1);
    }

    void emptyGridDoesNothing()
    {
        Fixture f(false);
        MainWindow w(f.environment);
        int calls = 0;
        w.setRecordEditor(MainView::Movimenti, {{}, [&](qint64) { return ++calls; }});
        auto *grid = w.findChild<DataGrid *>(u"grid"_s);
        QTest::keyClick(grid, Qt::Key_Return);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton);
        menuAction(w, u"&Record"_s, u"Apri"_s)->trigger();
        QCOMPARE(calls, 0);
        QCOMPARE(w.listedRows(), 0);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton);
        QVERIFY(!popupAction(w, u"Modifica"_s)->isEnabled());
        QVERIFY(!popupAction(w, u"Apri Allegato"_s)->isEnabled());
        w.showView(MainView::Conti);
        QCOMPARE(w.listedRows(), 2);
    }

    void savedChartRecordIsShownOnlyOnItsView()
    {
        Fixture f;
        MainWindow w(f.environment);
        w.showView(MainView::Sottoconti);
        qint64 created = 0;
        w.setRecordEditor(MainView::Sottoconti,
                          {[&] {
                               const qint64 conto =
                                   f.archive.scalar(u"SELECT MIN(id) FROM conti"_s).toLongLong();
                               created = f.archive.addSottoconto(conto, u"Banca"_s);
                               return created;
                           },
                           {}});
        menuAction(w, u"&Record"_s, u"Nuovo"_s)->trigger();
        QCOMPARE(w.listedRows(), 3);
        QCOMPARE(w.currentRecordId(), created);

        // The user went elsewhere while the editor was open: the grid stays as it is.
        w.setRecordEditor(MainView::Sottoconti, {[&] {
                                                     w.showView(MainView::Conti);
                                                     return created;
                                                 },
                                                 {}});
        w.showView(MainView::Sottoconti);
        menuAction(w, u"&Record"_s, u"Nuovo"_s)->trigger();
        QCOMPARE(w.curView(), MainView::Conti);
        QCOMPARE(w.currentRecordId(), 0);
    }

    void popupMenuFollowsTheCurrentRow()
    {
        Fixture f;
        f.archive.exec(u"UPDATE regmain SET attached = 'a.pdf' WHERE id = ?"_s, {f.firstEntry});
        MainWindow w(f.environment);
        w.setCommand(MainWindow::Command::Duplica, [] {});
        auto *grid = w.findChild<DataGrid *>(u"grid"_s);
        grid->setCurrentRow(0);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, {5, 5});
        QVERIFY(popupAction(w, u"Duplica"_s)->isEnabled());
        QVERIFY(!popupAction(w, u"Apri Allegato"_s)->isEnabled());
        grid->setCurrentRow(1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, {5, 5});
        QVERIFY(popupAction(w, u"Apri Allegato"_s)->isEnabled());
        QVERIFY(!popupAction(w, u"Elimina"_s)->isEnabled()); // no deletion yet

        w.showView(MainView::Conti);
        grid->setCurrentRow(0);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, {5, 5});
        QVERIFY(!popupAction(w, u"Duplica"_s)->isEnabled());
        QVERIFY(!popupAction(w, u"Apri Allegato"_s)->isEnabled());
    }

    void tableMaintenanceAsksFirst()
    {
        Fixture f;
        MainWindow w(f.environment);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        ScriptedMessages messages;
        const QKeyCombination keys(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier,
                                   Qt::Key_T);
        QTest::keySequence(&w, QKeySequence(keys));
        QVERIFY(messages.shown.isEmpty()); // nothing to open yet

        int opened = 0;
        w.setCommand(MainWindow::Command::ManutenzioneTabelle, [&] { ++opened; });
        messages.answers = {false, true};
        QTest::keySequence(&w, QKeySequence(keys));
        QTest::keySequence(&w, QKeySequence(keys));
        QCOMPARE(opened, 1);
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(messages.shown.first(),
                 u"\nAttenzione!\n\nLa modifica diretta delle tabelle è una operazione che va "
                 u"utilizzata \nsolo in caso di reale necessità e comunque da utenti esperti.\n"
                 u"L'utilizzo errato di questa funzionalità potrebbe provocare\nun danno "
                 u"irreparabile al database della contabilità.\n\nProcedere?"_s);
    }

    void openingAnotherArchive()
    {
        Fixture f;
        Fixture other;
        writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser,
                       f.archive.folder());
        other.archive.addEntry({2024, 4, 1},
                               {{other.cassa, other.quote, Money::fromCents(5), u"Altra"_s}});
        MainWindow w(f.environment);
        w.showView(MainView::Mastri);
        ScriptedMessages messages;
        messages.folders = {other.archive.folder()};
        menuAction(w, u"&File"_s, u"Apri Contabilità"_s)->trigger();
        QCOMPARE(w.curView(), MainView::Mastri);
        // A server archive's panel names the server after the folder.
        QVERIFY(w.statusPanelText(1).contains(QDir::toNativeSeparators(other.archive.folder())));
        w.showView(MainView::Movimenti);
        QCOMPARE(w.listedRows(), 3);

        messages.folders = {QString()};
        menuAction(w, u"&File"_s, u"Apri Contabilità"_s)->trigger();
        QCOMPARE(messages.shown.last(), u"Operazione annullata o Cartella non valida."_s);
        QCOMPARE(w.listedRows(), 3);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
