#include "chart/AccountEditor.h"
#include "chart/LedgerEditor.h"
#include "chart/SubAccountEditor.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "main/MainWindow.h"
#include "program/ChartCommands.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/grid/DataGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct Chart {
    TestArchive archive;
    qint64 attivo = 0, passivo = 0;
    qint64 liquidita = 0, debiti = 0;
    qint64 cassa = 0;

    Chart()
    {
        attivo = archive.addMastro(u"A01"_s, u"Disponibilità"_s, 1);
        passivo = archive.addMastro(u"P01"_s, u"Debiti"_s, 2);
        liquidita = archive.addConto(attivo, u"A01001"_s, u"Liquidità"_s);
        debiti = archive.addConto(passivo, u"P01001"_s, u"Fornitori"_s);
        cassa = archive.addSottoconto(liquidita, u"Cassa"_s);
    }
};

// Acts on the modal window that the next call opens, once it is shown; closes it afterwards if
// the action left it open, so that a failed check cannot hang the test.
void whenShown(std::function<void(QWidget *)> action)
{
    QTimer::singleShot(0, qApp, [action] {
        QWidget *window = QApplication::activeModalWidget();
        QVERIFY(window);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        action(window);
        if (window->isVisible())
            window->close();
    });
}

template <typename T> T *child(QWidget *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

// The key goes down and up on the field, as a user types it.
void press(QWidget *field, Qt::Key key)
{
    QTest::keyClick(field, key);
}

// Picks in the chart finder that the button opens the record found by the text.
void pickInFinder(QWidget *editor, const QString &button, const QString &text)
{
    whenShown([text](QWidget *finder) {
        QTest::keyClicks(child<QLineEdit>(finder, u"txtFind"_s), text);
        QTest::keyClick(child<QLineEdit>(finder, u"txtFind"_s), Qt::Key_Return);
        QTest::keyClick(child<DataGrid>(finder, u"grid"_s), Qt::Key_Return);
    });
    child<QToolButton>(editor, button)->click();
    editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor));
}

} // namespace

class TestChartEditors : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void newSubAccountByKeyboard()
    {
        Chart c;
        ScriptedMessages messages;
        whenShown([](QWidget *w) {
            QCOMPARE(w->windowTitle(), u"Nuovo Sottoconto"_s);
            QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
            auto *name = child<QLineEdit>(w, u"txtDescrizione"_s);
            QCOMPARE(name->text(), u"Banca Etica"_s);
            QCOMPARE(name->maxLength(), 100);
            // No account yet: F8 refuses and the dialog stays.
            press(name, Qt::Key_F8);
            QVERIFY(w->isVisible());
            pickInFinder(w, u"cmdConto"_s, u"fornit"_s);
            QCOMPARE(child<QLineEdit>(w, u"txtConto"_s)->text(), u"Fornitori"_s);
            QVERIFY(!child<QToolButton>(w, u"cmdConto"_s)->isEnabled());
            QTest::keyClicks(child<QPlainTextEdit>(w, u"txtNote"_s), u"conto corrente"_s);
            press(name, Qt::Key_F8);
        });
        const qint64 id = SubAccountEditor::create(nullptr, c.archive, u"  Banca Etica "_s);
        QVERIFY(id > c.cassa);
        QCOMPARE(messages.shown,
                 QStringList{u"Selezionare un Conto ed inserire il nome del Sottoconto"_s});
        QCOMPARE(c.archive.scalar(u"SELECT idConto FROM sottoconti WHERE id = ?"_s, {id}),
                 QVariant(c.debiti));
        QCOMPARE(c.archive.scalar(u"SELECT note FROM sottoconti WHERE id = ?"_s, {id}).toString(),
                 u"conto corrente"_s);
    }

    void escapeCancelsOnlyWhenPressedHere()
    {
        Chart c;
        whenShown([](QWidget *w) {
            auto *name = child<QLineEdit>(w, u"txtDescrizione"_s);
            // The release of an Esc pressed elsewhere (the finder that just closed) is ignored.
            QTest::keyRelease(name, Qt::Key_Escape);
            QVERIFY(w->isVisible());
            QTest::keyPress(name, Qt::Key_Escape);
            QVERIFY(w->isVisible());
            QTest::keyRelease(name, Qt::Key_Escape);
            QVERIFY(!w->isVisible());
        });
        QCOMPARE(SubAccountEditor::create(nullptr, c.archive, {}), 0);
        QCOMPARE(c.archive.scalar(u"SELECT COUNT(*) FROM sottoconti"_s).toInt(), 1);
    }

    void existingSubAccountKeepsItsAccount()
    {
        Chart c;
        whenShown([](QWidget *w) {
            QCOMPARE(w->windowTitle(), u"Modifica Sottoconto"_s);
            QCOMPARE(child<QLineEdit>(w, u"txtConto"_s)->text(), u"Liquidità"_s);
            QVERIFY(!child<QToolButton>(w, u"cmdConto"_s)->isEnabled());
            auto *name = child<QLineEdit>(w, u"txtDescrizione"_s);
            name->setText(u"Cassa sede"_s);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
        });
        QCOMPARE(SubAccountEditor::edit(nullptr, c.archive, c.cassa), c.cassa);
        QCOMPARE(c.archive.scalar(u"SELECT descrizione FROM sottoconti WHERE id = ?"_s, {c.cassa})
                     .toString(),
                 u"Cassa sede"_s);
    }

    void refusedSaveKeepsTheInput()
    {
        Chart c;
        ScriptedMessages messages;
        whenShown([&c, &messages](QWidget *w) {
            pickInFinder(w, u"cmdConto"_s, u"fornit"_s);
            // The account disappears meanwhile: the archive refuses the new sub-account.
            c.archive.exec(u"DELETE FROM conti WHERE id = ?"_s, {c.debiti});
            child<QPushButton>(w, u"cmdSalva"_s)->click();
            QVERIFY(w->isVisible());
            QCOMPARE(messages.shown.size(), 1);
            QVERIFY(messages.shown.constFirst().contains(u"FOREIGN KEY"_s, Qt::CaseInsensitive));
            QCOMPARE(child<QLineEdit>(w, u"txtDescrizione"_s)->text(), u"Nuovo"_s);
            child<QPushButton>(w, u"cmdAnnulla"_s)->click();
        });
        QCOMPARE(SubAccountEditor::create(nullptr, c.archive, u"Nuovo"_s), 0);
        QCOMPARE(c.archive.scalar(u"SELECT COUNT(*) FROM sottoconti"_s).toInt(), 1);
    }
    void ledgerCodeRules()
    {
        Chart c;
        ScriptedMessages messages;
        FiscalEnvironment environment(c.archive);
        whenShown([&messages](QWidget *w) {
            QCOMPARE(w->windowTitle(), u"Nuovo Mastro"_s);
            auto *code = child<QLineEdit>(w, u"txtPrefisso"_s);
            auto *name = child<QLineEdit>(w, u"txtDescrizione"_s);
            // Only letters and digits are taken; Backspace is not.
            QTest::keyClicks(code, u"a-b"_s);
            QTest::keyClick(code, Qt::Key_Backspace);
            QCOMPARE(code->text(), u"ab"_s);
            // Two characters cannot be left.
            QTest::keyClick(code, Qt::Key_Return);
            QTest::qWait(20);
            QCOMPARE(messages.shown, QStringList{u"Il Codice Mastro deve essere di 3 caratteri"_s});
            QCOMPARE(w->focusWidget(), code);
            QTest::keyClicks(code, u"1"_s);
            QTest::keyClick(code, Qt::Key_Return);
            QTest::qWait(20);
            QCOMPARE(code->text(), u"AB1"_s);
            QCOMPARE(w->focusWidget(), name);
            QVERIFY(child<QRadioButton>(w, u"optTipo1"_s)->isChecked());
            QTest::keyClicks(name, u"Crediti"_s);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
        });
        const qint64 id = LedgerEditor::edit(nullptr, environment, 0);
        QVERIFY(id > 0);
        QCOMPARE(c.archive.scalar(u"SELECT prefisso || tipo FROM mastri WHERE id = ?"_s, {id})
                     .toString(),
                 u"AB11"_s);
    }

    void ledgerDuplicates()
    {
        Chart c;
        ScriptedMessages messages;
        FiscalEnvironment environment(c.archive);
        // An existing code is refused outright.
        whenShown([](QWidget *w) {
            child<QLineEdit>(w, u"txtPrefisso"_s)->setText(u"a01"_s);
            child<QLineEdit>(w, u"txtDescrizione"_s)->setText(u"Altro"_s);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
            QVERIFY(w->isVisible());
        });
        QCOMPARE(LedgerEditor::edit(nullptr, environment, 0), 0);
        QCOMPARE(messages.shown.value(0),
                 u"Attenzione! Il codice del Mastro inserito è già presente nell'archivio dei "
                 "Mastri"_s);

        // An existing description is saved only after Yes.
        messages.shown.clear();
        messages.answers = {false, true};
        whenShown([](QWidget *w) {
            child<QLineEdit>(w, u"txtPrefisso"_s)->setText(u"A02"_s);
            child<QLineEdit>(w, u"txtDescrizione"_s)->setText(u"Debiti"_s);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
            QVERIFY(w->isVisible());
            child<QPushButton>(w, u"cmdSalva"_s)->click();
        });
        QVERIFY(LedgerEditor::edit(nullptr, environment, 0) > 0);
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(messages.shown.value(1), u"Attenzione! La descrizione del Mastro è già presente "
                                          "nell'archivio dei Mastri\nProcedere ugualmente?"_s);

        // A stored ledger keeps its nature and may take another ledger's description without
        // a question.
        messages.shown.clear();
        whenShown([](QWidget *w) {
            QCOMPARE(w->windowTitle(), u"Modifica Mastro"_s);
            for (int tipo = 0; tipo < 5; ++tipo)
                QCOMPARE(child<QRadioButton>(w, u"optTipo%1"_s.arg(tipo))->isEnabled(), tipo == 2);
            QVERIFY(child<QRadioButton>(w, u"optTipo2"_s)->isChecked());
            child<QLineEdit>(w, u"txtDescrizione"_s)->setText(u"Disponibilità"_s);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
        });
        QCOMPARE(LedgerEditor::edit(nullptr, environment, c.passivo), c.passivo);
        QVERIFY(messages.shown.isEmpty());
    }

    void accountByKeyboard()
    {
        Chart c;
        ScriptedMessages messages;
        whenShown([](QWidget *w) {
            QCOMPARE(w->windowTitle(), u"Nuovo Conto"_s);
            QCOMPARE(child<QLineEdit>(w, u"txtMastro"_s)->text(), u"Selezionare un Mastro -->"_s);
            pickInFinder(w, u"cmdMastro"_s, u"dispon"_s);
            QCOMPARE(child<QLineEdit>(w, u"txtPrefissoMastro"_s)->text(), u"A01"_s);
            auto *code = child<QLineEdit>(w, u"txtPrefisso"_s);
            QCOMPARE(w->focusWidget(), code);
            QTest::keyClicks(code, u"b2c"_s);
            QTest::keyClick(code, Qt::Key_Return);
            QTest::qWait(20);
            QCOMPARE(code->text(), u"B2C"_s);
            QTest::keyClicks(child<QLineEdit>(w, u"txtDescrizione"_s), u" Crediti vari "_s);
            child<QCheckBox>(w, u"chkBilancio"_s)->setChecked(true);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
        });
        const qint64 id = AccountEditor::edit(nullptr, c.archive, 0);
        QVERIFY(id > 0);
        QCOMPARE(c.archive
                     .scalar(u"SELECT prefisso || '|' || descrizione || '|' || bilancio "
                             "FROM conti WHERE id = ?"_s,
                             {id})
                     .toString(),
                 u"A01B2C|Crediti vari|1"_s);
        QVERIFY(messages.shown.isEmpty());
    }

    void accountCodeTaken()
    {
        Chart c;
        ScriptedMessages messages;
        whenShown([&messages](QWidget *w) {
            pickInFinder(w, u"cmdMastro"_s, u"dispon"_s);
            child<QLineEdit>(w, u"txtPrefisso"_s)->setText(u"001"_s);
            child<QLineEdit>(w, u"txtDescrizione"_s)->setText(u"Doppio"_s);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
            QVERIFY(w->isVisible());
            QCOMPARE(messages.shown, QStringList{u"Codice Conto già presente."_s});
            // The user changes the code and saves again.
            child<QLineEdit>(w, u"txtPrefisso"_s)->setText(u"002"_s);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
        });
        QVERIFY(AccountEditor::edit(nullptr, c.archive, 0) > 0);
        QCOMPARE(
            c.archive.scalar(u"SELECT COUNT(*) FROM conti WHERE descrizione = 'Doppio'"_s).toInt(),
            1);
    }

    void accountMovesOrLosesItsLedger()
    {
        Chart c;
        ScriptedMessages messages;
        // Moved to another ledger, the account takes that ledger's code.
        whenShown([](QWidget *w) {
            QCOMPARE(child<QLineEdit>(w, u"txtPrefisso"_s)->text(), u"001"_s);
            pickInFinder(w, u"cmdMastro"_s, u"debiti"_s);
            child<QLineEdit>(w, u"txtPrefisso"_s)->setText(u"009"_s);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
        });
        QCOMPARE(AccountEditor::edit(nullptr, c.archive, c.liquidita), c.liquidita);
        QCOMPARE(c.archive.scalar(u"SELECT prefisso FROM conti WHERE id = ?"_s, {c.liquidita})
                     .toString(),
                 u"P01009"_s);

        // Choosing nothing clears the ledger and blocks the save.
        whenShown([](QWidget *w) {
            whenShown([](QWidget *finder) { finder->close(); });
            child<QToolButton>(w, u"cmdMastro"_s)->click();
            QCOMPARE(child<QLineEdit>(w, u"txtMastro"_s)->text(), u"Selezionare un Mastro.."_s);
            QVERIFY(child<QLineEdit>(w, u"txtPrefissoMastro"_s)->text().isEmpty());
            child<QPushButton>(w, u"cmdSalva"_s)->click();
            QVERIFY(w->isVisible());
            child<QPushButton>(w, u"cmdAnnulla"_s)->click();
        });
        QCOMPARE(AccountEditor::edit(nullptr, c.archive, c.debiti), 0);
        QCOMPARE(messages.shown, QStringList{u"Completare l'inserimento dei campi obbligatori"_s});
    }
    void mainWindowOpensTheEditorsAndMovesToTheSavedRecord()
    {
        Chart c;
        ScriptedMessages messages;
        writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser,
                       c.archive.folder());
        FiscalEnvironment environment(c.archive);
        environment.refresh();
        MainWindow window(environment);
        wireChartCommands(window, environment);
        window.showView(MainView::Sottoconti);
        whenShown([](QWidget *w) {
            QCOMPARE(w->windowTitle(), u"Nuovo Sottoconto"_s);
            QVERIFY(child<QLineEdit>(w, u"txtDescrizione"_s)->text().isEmpty());
            pickInFinder(w, u"cmdConto"_s, u"liquid"_s);
            QTest::keyClicks(child<QLineEdit>(w, u"txtDescrizione"_s), u"Banca"_s);
            child<QPushButton>(w, u"cmdSalva"_s)->click();
        });
        QAction *nuovo = nullptr;
        for (QAction *menu : window.menuBar()->actions()) {
            for (QAction *item : menu->menu() ? menu->menu()->actions() : QList<QAction *>()) {
                if (menu->text() == u"&Record"_s && item->text() == u"Nuovo"_s)
                    nuovo = item;
            }
        }
        QVERIFY(nuovo && nuovo->isEnabled());
        nuovo->trigger();
        const qint64 banca = c.archive.scalar(u"SELECT MAX(id) FROM sottoconti"_s).toLongLong();
        QVERIFY(banca > c.cassa);
        QCOMPARE(window.listedRows(), 2);
        QCOMPARE(window.currentRecordId(), banca);
    }
};

QTEST_MAIN(TestChartEditors)
#include "tst_charteditors.moc"
