#include "data/FiscalEnvironment.h"
#include "journal/EntryEditor.h"
#include "journal/EntryRowGrid.h"
#include "journal/EntryTypeDialog.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/EditableGridModel.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestEntryEditor : public QObject {
    Q_OBJECT

    qint64 cassa = 0, quote = 0;

    void chart(TestArchive &a)
    {
        const qint64 liq =
            a.addConto(a.addMastro(u"A01"_s, u"Liquidità"_s, 1), u"A01001"_s, u"Cassa e banche"_s);
        cassa = a.addSottoconto(liq, u"Cassa"_s);
        quote = a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s),
            u"Quote"_s);
    }

    static FiscalEnvironment environmentOn(const Archive &a, const QDate &date)
    {
        FiscalEnvironment environment(a);
        environment.setWorkingDate(date);
        environment.refresh();
        return environment;
    }

    // Types a value into a cell of the grid as an editor would store it.
    static bool type(EntryRowGrid *rows, int row, int column, const QVariant &value)
    {
        const QModelIndex index = rows->model()->index(row, column);
        rows->grid()->setCurrentIndex(index);
        return rows->model()->setData(index, value);
    }

    static void press(QWidget *window, Qt::Key key)
    {
        QTest::keyPress(window, key);
        QTest::keyRelease(window, key);
    }

    // Keys go where the user's would: to the widget with the keyboard focus, which may change
    // with every key.
    static void hit(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QVERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        QCoreApplication::processEvents();
    }

    static void typeText(const QString &text)
    {
        for (const QChar c : text) {
            QVERIFY(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
        QCoreApplication::processEvents();
    }

    static void showActive(EntryEditor &editor)
    {
        editor.show();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
    }

    // Rows of an entry as "riga:dare:avere:cents:descrizione", accounts by their ids.
    static QStringList storedRows(const TestArchive &a, qint64 id)
    {
        QStringList rows;
        const int count =
            a.scalar(u"SELECT COUNT(*) FROM regdet WHERE idRegMain = ?"_s, {id}).toInt();
        for (int riga = 10; riga <= count * 10; riga += 10)
            rows.append(a.scalar(u"SELECT riga || ':' || COALESCE(CAST(contodare AS VARCHAR), '') "
                                 u"|| ':' || COALESCE(CAST(contoavere AS VARCHAR), '') || ':' || "
                                 u"(importo / 100) || ':' || "
                                 u"descrizione FROM regdet WHERE idRegMain = ? AND riga = ?"_s,
                                 {id, riga})
                            .toString());
        return rows;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void recordsAnEntryByKeyboardAlone()
    {
        TestArchive a;
        chart(a);
        const qint64 costi =
            a.addConto(a.addMastro(u"C01"_s, u"Costi"_s, 3), u"C01001"_s, u"Spese"_s);
        const qint64 cancelleria = a.addSottoconto(costi, u"Cancelleria e stampati"_s);
        const qint64 telefono = a.addSottoconto(costi, u"Telefonia e internet"_s);
        const qint64 contanti = a.addSottoconto(
            a.scalar(u"SELECT id FROM conti WHERE prefisso = 'A01001'"_s).toLongLong(),
            u"Cassa contanti"_s);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        QVERIFY(editor.startNew());
        showActive(editor);
        EntryRowGrid *rows = editor.rowGrid();

        hit(Qt::Key_Return); // from the date to the grid
        QCOMPARE(QApplication::focusWidget(), rows->grid());
        typeText(u"cancell"_s);
        hit(Qt::Key_Return);
        QCOMPARE(rows->model()->value(0, EntryRowGrid::ContoDare).toLongLong(), cancelleria);
        QCOMPARE(rows->grid()->currentRow(), 0); // the new row keeps the cursor
        hit(Qt::Key_Return);
        typeText(u"100"_s);
        hit(Qt::Key_Return);
        typeText(u"Penne"_s);
        hit(Qt::Key_Return);
        QCOMPARE(editor.statusText(2), u"Sbilancio = +100,00 "_s);

        typeText(u"telef"_s);
        hit(Qt::Key_Return);
        hit(Qt::Key_Return);
        typeText(u"23,45"_s);
        hit(Qt::Key_Return);
        hit(Qt::Key_Return);

        hit(Qt::Key_Return);
        typeText(u"cassa cont"_s);
        hit(Qt::Key_Return);
        QCOMPARE(rows->grid()->currentRow(), 2);
        typeText(u"123,45"_s);
        hit(Qt::Key_Return);
        QVERIFY(rows->grid()->openEditor()); // the description, offered from the row above
        hit(Qt::Key_F8);

        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(u" | "_s)));
        QCOMPARE(editor.state(), EntryEditor::State::View);
        QCOMPARE(storedRows(a, editor.entryId()),
                 (QStringList{u"10:%1::10000:Penne"_s.arg(cancelleria),
                              u"20:%1::2345:Penne"_s.arg(telefono),
                              u"30::%1:12345:Penne"_s.arg(contanti)}));
    }

    void typedValuesTheRowCannotTakeStayInTheirCell()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.startNew();
        showActive(editor);
        EntryRowGrid *rows = editor.rowGrid();
        hit(Qt::Key_Return);

        typeText(u"nessuno"_s);
        hit(Qt::Key_Return);
        auto *open = qobject_cast<QLineEdit *>(rows->grid()->openEditor());
        QVERIFY(open);
        QCOMPARE(open->text(), u"nessuno"_s);
        QVERIFY(editor.statusText(1).startsWith(u"Nessun sottoconto contiene \"nessuno\""_s));
        QCOMPARE(rows->model()->rows().size(), size_t(0));

        open->clear();
        hit(Qt::Key_Return); // an empty cell moves on, empty
        QCOMPARE(rows->grid()->currentIndex().column(), int(EntryRowGrid::ContoAvere));
        typeText(u"quo"_s);
        hit(Qt::Key_Return);
        QCOMPARE(rows->model()->value(0, EntryRowGrid::ContoAvere).toLongLong(), quote);

        for (const QString &wrong : {u"12.34"_s, u"1.23,4"_s, u"12,34,5"_s}) {
            typeText(wrong);
            hit(Qt::Key_Return);
            QCOMPARE(messages.shown.last(), u"Inserire un valore numerico"_s);
            open = qobject_cast<QLineEdit *>(rows->grid()->openEditor());
            QVERIFY2(open && open->text() == wrong, qPrintable(wrong));
            open->selectAll();
        }
        // F8 stores the open cell first: a cell that refuses keeps the entry unsaved.
        hit(Qt::Key_F8);
        QCOMPARE(editor.state(), EntryEditor::State::New);
        QVERIFY(rows->grid()->openEditor());
        typeText(u"1.234,56"_s);
        hit(Qt::Key_Return);
        QCOMPARE(rows->model()->value(0, EntryRowGrid::Importo).toLongLong(), 12345600LL);
    }

    void aSubAccountPickedOnTheNewLineKeepsItsRow()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.startNew();
        showActive(editor);
        EntryRowGrid *rows = editor.rowGrid();
        rows->setFinder(
            [this](QWidget *, const QString &text) { return text == u"cas"_s ? cassa : -1; });
        hit(Qt::Key_Return);
        typeText(u"cas"_s);
        hit(Qt::Key_F4); // the finder starts from the text typed and picks Cassa
        QCOMPARE(rows->model()->value(0, EntryRowGrid::ContoDare).toLongLong(), cassa);
        QCOMPARE(rows->grid()->currentRow(), 0);
        hit(Qt::Key_Return);
        hit(Qt::Key_Return);
        typeText(u"7"_s);
        hit(Qt::Key_Return);
        QCOMPARE(rows->model()->rows().size(), size_t(1));
        QCOMPARE(rows->model()->value(0, EntryRowGrid::Importo).toLongLong(), 70000LL);
        QVERIFY(messages.shown.isEmpty());
    }

    void deletesTheCurrentRow()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.startNew();
        showActive(editor);
        EntryRowGrid *rows = editor.rowGrid();
        rows->setRows({{0, cassa, QVariant(), Money::fromCents(100), u"Prima"_s},
                       {0, QVariant(), quote, Money::fromCents(100), u"Seconda"_s},
                       {0, cassa, QVariant(), Money::fromCents(500), u"Di troppo"_s}});
        rows->grid()->setFocus();
        rows->grid()->setCurrentIndex(rows->model()->index(2, EntryRowGrid::Importo));
        QCOMPARE(rows->findChild<QLabel *>(u"navigator"_s)->text(), u"Riga 3 di 3"_s);
        hit(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(rows->rows().size(), 2);
        QCOMPARE(rows->rows().last().descrizione, u"Seconda"_s);
        QCOMPARE(editor.statusText(2), QString());
        QVERIFY(rows->model()->isNewRowLine(rows->grid()->currentRow()));
        QCOMPARE(rows->findChild<QLabel *>(u"navigator"_s)->text(), u"Nuova riga (righe: 2)"_s);

        // The new-row line is not a row; the menu item removes rows like the keys.
        auto *deleteRow = rows->grid()->findChild<QAction *>(u"deleteRow"_s);
        QCOMPARE(deleteRow->text(), u"Elimina riga"_s);
        QVERIFY(!deleteRow->isEnabled());
        hit(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(rows->rows().size(), 2);
        rows->grid()->setCurrentIndex(rows->model()->index(0, EntryRowGrid::ContoDare));
        QVERIFY(deleteRow->isEnabled());
        deleteRow->trigger();
        QCOMPARE(rows->rows().size(), 1);
        QCOMPARE(editor.statusText(2), u"Sbilancio = -1,00 "_s);
        QCOMPARE(rows->model()->columns().at(EntryRowGrid::Importo).defaultValue.toLongLong(),
                 10000LL);
    }

    void escapeInAChildWindowStaysThere()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.startNew();
        showActive(editor);
        EntryRowGrid *rows = editor.rowGrid();
        rows->setRows({{0, cassa, quote, Money::fromCents(100), u"Quota"_s}});
        hit(Qt::Key_Return);
        typeText(u"cas"_s);
        QString searched;
        QTimer::singleShot(0, this, [&searched] {
            auto *finder = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(finder);
            searched = finder->findChild<QLineEdit *>(u"txtFind"_s)->text();
            QTest::keyClick(finder->focusWidget(), Qt::Key_Escape);
        });
        hit(Qt::Key_F4);
        QCOMPARE(searched, u"cas"_s);
        showActive(editor);
        // The release of the Esc that closed the finder reaches the editor.
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(editor.isVisible());

        // Esc in a cell editor gives up that cell only.
        typeText(u"quo"_s);
        QVERIFY(rows->grid()->openEditor());
        hit(Qt::Key_Escape);
        QVERIFY(!rows->grid()->openEditor());
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(editor.isVisible());

        // Elsewhere Esc asks once, and Esc on the question (No) leaves everything as it was.
        editor.findChild<QDateEdit *>(u"datData"_s)->setFocus();
        messages.answers = {false};
        hit(Qt::Key_Escape);
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(messages.shown,
                 QStringList{u"Abbandonare le modifiche effettuate senza salvare?"_s});
        QVERIFY(editor.isVisible());
        QCOMPARE(rows->rows().size(), 1);
    }

    void anUntouchedEntryClosesOnEscape()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.startNew();
        showActive(editor);
        QCOMPARE(QApplication::focusWidget(), editor.findChild<QDateEdit *>(u"datData"_s));
        hit(Qt::Key_Escape);
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(!editor.isVisible());
    }

    void viewStateIsGreyEveryTime()
    {
        TestArchive a;
        chart(a);
        const qint64 id = a.addEntry(QDate(2024, 3, 1),
                                     {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 1);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        EntryRowGrid *rows = editor.rowGrid();
        const QColor grey = rows->palette().color(QPalette::Disabled, QPalette::Text);
        const QColor normal = rows->palette().color(QPalette::Active, QPalette::Text);
        QVERIFY(grey != normal);
        auto shown = [rows] {
            return rows->grid()->palette().color(QPalette::Active, QPalette::Text);
        };
        QVERIFY(editor.openEntry(id));
        QCOMPARE(shown(), grey);
        editor.startEditing();
        QCOMPARE(shown(), normal);
        editor.save();
        QCOMPARE(editor.state(), EntryEditor::State::View);
        QCOMPARE(shown(), grey);
    }

    void recordsAnEntryRowByRow()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        QVERIFY(editor.startNew());
        QCOMPARE(editor.windowTitle(), u"Nuova Registrazione"_s);
        QCOMPARE(editor.findChild<QLabel *>(u"lblProgressivo"_s)->text(), u"N/A"_s);
        QCOMPARE(editor.findChild<QDateEdit *>(u"datData"_s)->minimumDate(), QDate(2024, 1, 1));
        EntryRowGrid *rows = editor.rowGrid();

        press(&editor, Qt::Key_F8);
        QCOMPARE(messages.shown.last(), u"Nessuna riga di dettaglio."_s);

        QVERIFY(!type(rows, 0, EntryRowGrid::Importo, u"cento"_s));
        QCOMPARE(messages.shown.last(), u"Inserire un valore numerico"_s);
        QVERIFY(type(rows, 0, EntryRowGrid::Importo, u"100"_s));
        QVERIFY(type(rows, 0, EntryRowGrid::Descrizione, u"Quota Rossi"_s));
        rows->grid()->setCurrentIndex(rows->model()->index(1, EntryRowGrid::ContoDare));
        QCOMPARE(messages.shown.last(), u"Inserire almeno un conto."_s);
        QCOMPARE(rows->model()->pendingRow(), 0);

        QVERIFY(type(rows, 0, EntryRowGrid::ContoDare, cassa));
        rows->grid()->setCurrentIndex(rows->model()->index(1, EntryRowGrid::ContoDare));
        QCOMPARE(rows->model()->pendingRow(), -1);
        QCOMPARE(editor.statusText(2), u"Sbilancio = +100,00 "_s);

        // The next row offers the balancing amount and the same text.
        QVERIFY(type(rows, 1, EntryRowGrid::ContoAvere, quote));
        QCOMPARE(rows->model()->value(1, EntryRowGrid::Importo).toLongLong(), 1000000LL);
        QCOMPARE(rows->model()->value(1, EntryRowGrid::Descrizione).toString(), u"Quota Rossi"_s);
        QVERIFY(rows->commitEditing());
        QCOMPARE(editor.statusText(2), QString());

        QVERIFY(editor.hasUnsavedChanges());
        press(&editor, Qt::Key_F8);
        QCOMPARE(editor.state(), EntryEditor::State::View);
        QCOMPARE(editor.findChild<QLabel *>(u"lblProgressivo"_s)->text(), u"1"_s);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regdet WHERE idRegMain = ?"_s, {editor.entryId()})
                     .toInt(),
                 2);
        QVERIFY(!editor.hasUnsavedChanges());
    }

    void storesAmountsRoundedAndEmptiesAccountCells()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.startNew();
        EntryRowGrid *rows = editor.rowGrid();
        QVERIFY(type(rows, 0, EntryRowGrid::Importo, u"12,3456"_s));
        QCOMPARE(rows->model()->value(0, EntryRowGrid::Importo).toLongLong(), 123500LL);
        QVERIFY(type(rows, 0, EntryRowGrid::ContoDare, cassa));
        rows->grid()->setFocus();
        QTest::keyClick(rows->grid(), Qt::Key_Delete);
        QVERIFY(rows->model()->value(0, EntryRowGrid::ContoDare).isNull());
    }

    void findsAndCreatesSubAccountsFromTheGrid()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.startNew();
        EntryRowGrid *rows = editor.rowGrid();
        QList<qint64> finderAnswers{0, quote};
        QList<qint64> creatorAnswers{-1};
        QStringList proposed;
        rows->setFinder([&](QWidget *, const QString &) { return finderAnswers.takeFirst(); });
        rows->setCreator([&](QWidget *, const QString &text) {
            proposed.append(text);
            return creatorAnswers.takeFirst();
        });
        rows->grid()->setFocus();
        rows->goToNewRow();
        QTest::keyClick(rows->grid(), Qt::Key_F4); // asks for a new one, then cancels it
        QCOMPARE(rows->model()->rows().size(), size_t(0));
        QTest::keyClick(rows->grid(), Qt::Key_F4);
        QCOMPARE(rows->model()->value(0, EntryRowGrid::ContoDare).toLongLong(), quote);

        const qint64 created = a.addSottoconto(
            a.scalar(u"SELECT id FROM conti WHERE prefisso = 'A01001'"_s).toLongLong(), u"Banca"_s);
        creatorAnswers = {created};
        rows->grid()->setCurrentIndex(rows->model()->index(0, EntryRowGrid::ContoAvere));
        QTest::keyClick(rows->grid(), Qt::Key_F5);
        QCOMPARE(rows->model()->value(0, EntryRowGrid::ContoAvere).toLongLong(), created);
        QCOMPARE(rows->model()->index(0, EntryRowGrid::ContoAvere).data().toString(), u"Banca"_s);
        QCOMPARE(proposed, (QStringList{QString(), QString()}));
    }

    void opensTheSubAccountFinderOnF4()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.startNew();
        EntryRowGrid *rows = editor.rowGrid();
        rows->grid()->setFocus();
        rows->goToNewRow();
        QString opened;
        QTimer::singleShot(0, this, [&opened] {
            QWidget *finder = QApplication::activeModalWidget();
            opened = finder ? QString::fromLatin1(finder->metaObject()->className()) : QString();
            if (auto *dialog = qobject_cast<QDialog *>(finder))
                dialog->reject();
        });
        QTest::keyClick(rows->grid(), Qt::Key_F4);
        QCOMPARE(opened, u"SubAccountFinderDialog"_s);
        QCOMPARE(rows->model()->rows().size(), size_t(0));
    }

    void changesTypeDateAndDeletes()
    {
        TestArchive a;
        chart(a);
        const qint64 id = a.addEntry(QDate(2024, 3, 1),
                                     {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 1);
        a.addEntry(QDate(2024, 4, 1), {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 2);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        QVERIFY(editor.openEntry(id));
        QCOMPARE(editor.state(), EntryEditor::State::View);
        QVERIFY(!editor.findChild<QPushButton *>(u"cmdTipo"_s)->isEnabled());
        editor.startEditing();
        QCOMPARE(editor.state(), EntryEditor::State::Edit);

        QTimer::singleShot(0, this, [] {
            auto *dialog = qobject_cast<EntryTypeDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog->findChild<QRadioButton *>(u"optTipo1"_s)->isChecked());
            dialog->findChild<QRadioButton *>(u"optTipo2"_s)->setChecked(true);
            dialog->findChild<QPushButton *>(u"cmdSave"_s)->click();
        });
        editor.findChild<QPushButton *>(u"cmdTipo"_s)->click();
        QCOMPARE(editor.findChild<QGroupBox *>(u"frameTipo"_s)->title(),
                 u"Tipo Reg.: Apertura Conti"_s);
        editor.findChild<QDateEdit *>(u"datData"_s)->setDate(QDate(2024, 4, 20));
        editor.save();
        QCOMPARE(
            a.scalar(
                 u"SELECT tipo || ':' || progressivo || ':' || data FROM regmain WHERE id = ?"_s,
                 {id})
                .toString(),
            u"1:1:2024-04-20"_s);

        messages.answers = {true};
        editor.deleteShownEntry();
        QCOMPARE(messages.shown.last(), u"Eliminare la Registrazione?"_s);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain WHERE id = ?"_s, {id}).toInt(), 0);
        QCOMPARE(editor.state(), EntryEditor::State::New);
        QCOMPARE(editor.rowGrid()->rows().size(), 0);
    }

    void aSaveOverAnotherUsersChangeOffersTheCurrentVersion()
    {
        TestArchive a;
        chart(a);
        const qint64 id = a.addEntry(QDate(2024, 3, 1),
                                     {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 1);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        showActive(editor);
        QVERIFY(editor.openEntry(id));
        editor.startEditing();
        // Another user saves the entry meanwhile.
        QString error;
        JournalEntry other = *loadEntry(a, id, &error);
        other.rows.first().descrizione = u"Quota di marzo"_s;
        QVERIFY2(saveEntry(a, other, QDate(2024, 1, 1), QDate(2024, 12, 31), &error),
                 qPrintable(error));

        editor.rowGrid()->grid()->setFocus();
        messages.answers = {true};
        hit(Qt::Key_F8);
        QVERIFY2(messages.shown.last().startsWith(changedByOtherMessage()),
                 qPrintable(messages.shown.join(u" | "_s)));
        QCOMPARE(storedRows(a, id),
                 QStringList{u"10:%1:%2:500:Quota di marzo"_s.arg(cassa).arg(quote)});
        QCOMPARE(editor.state(), EntryEditor::State::View);
        QCOMPARE(editor.rowGrid()->rows(), other.rows);
    }

    void offersRenumberingOnClose()
    {
        TestArchive a;
        chart(a);
        a.addEntry(QDate(2024, 4, 1), {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 1);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 3, 1));
        ScriptedMessages messages;
        bool reloaded = false;
        EntryEditor editor(environment);
        editor.setOnClosed([&] { reloaded = true; });
        editor.startNew();
        editor.rowGrid()->setRows(
            {{0, cassa, quote, Money::fromCents(100), u"Quota anticipata"_s}});
        editor.save();
        QCOMPARE(editor.findChild<QLabel *>(u"lblProgressivo"_s)->text(), u"2"_s);
        messages.answers = {false};
        press(&editor, Qt::Key_Escape);
        QCOMPARE(messages.shown.last(),
                 u"I progressivi non sono allineati: effettuare un ricalcolo?"_s);
        QVERIFY(reloaded);
        QVERIFY(!editor.isVisible());
    }

    void asksBeforeDroppingChanges()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.startNew();
        QVERIFY(!editor.hasUnsavedChanges());
        editor.rowGrid()->setRows({{0, cassa, quote, Money::fromCents(100), u"Quota"_s}});
        QVERIFY(editor.hasUnsavedChanges());
        messages.answers = {false};
        press(&editor, Qt::Key_Escape);
        QCOMPARE(messages.shown.last(), u"Abbandonare le modifiche effettuate senza salvare?"_s);
        QCOMPARE(editor.rowGrid()->rows().size(), 1);
    }

    void attachesAndRemovesAFile()
    {
        TestArchive a;
        chart(a);
        const qint64 id = a.addEntry(QDate(2024, 3, 1),
                                     {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 1);
        QTemporaryDir outside;
        const QString chosen = outside.filePath(u"ricevuta.pdf"_s);
        QFile file(chosen);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("%PDF");
        file.close();
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        const QString attachments = QDir(a.folder()).filePath(u"allegati"_s);
        editor.setAttachmentsFolder(attachments);
        editor.openEntry(id);
        editor.startEditing();
        messages.files = {chosen};
        editor.findChild<QPushButton *>(u"cmdAllegato0"_s)->click();
        QCOMPARE(messages.shown.last(), u"Carica Allegato"_s);
        const QStringList stored = QDir(attachments).entryList(QDir::Files);
        QCOMPARE(stored.size(), 1);
        QVERIFY(QRegularExpression(u"^\\d{16}\\.pdf$"_s).match(stored.first()).hasMatch());
        QVERIFY(!editor.findChild<QPushButton *>(u"cmdAllegato0"_s)->isEnabled());
        editor.save();
        QCOMPARE(a.scalar(u"SELECT attached FROM regmain WHERE id = ?"_s, {id}).toString(),
                 stored.first());

        editor.startEditing();
        messages.answers = {true};
        editor.findChild<QPushButton *>(u"cmdAllegato2"_s)->click();
        QCOMPARE(messages.shown.last(), u"Confermare eliminazione dell'allegato?"_s);
        QVERIFY(QDir(attachments).entryList(QDir::Files).isEmpty());
        editor.save();
        QVERIFY(a.scalar(u"SELECT attached FROM regmain WHERE id = ?"_s, {id}).isNull());
    }

    // A name edited into the archive by another tool must not reach outside "allegati".
    void refusesToDeleteAStoredNameThatLeavesTheAttachmentsFolder()
    {
        TestArchive a;
        chart(a);
        QDir(a.folder()).mkdir(u"riservato"_s);
        const QString secret = QDir(a.folder()).filePath(u"riservato/segreto.txt"_s);
        QFile file(secret);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("riservato");
        file.close();
        const qint64 id = a.addEntry(QDate(2024, 3, 1),
                                     {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 1);
        a.exec(u"UPDATE regmain SET attached = ? WHERE id = ?"_s,
               {u"../riservato/segreto.txt"_s, id});
        FiscalEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        EntryEditor editor(environment);
        editor.setAttachmentsFolder(QDir(a.folder()).filePath(u"allegati"_s));
        editor.openEntry(id);
        editor.startEditing();
        messages.answers = {true};
        editor.findChild<QPushButton *>(u"cmdAllegato2"_s)->click();
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(
            messages.shown.last().startsWith(u"Il nome dell'allegato registrato non è valido"_s));
        QVERIFY(QFile::exists(secret));
        editor.findChild<QPushButton *>(u"cmdAllegato1"_s)->click();
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY(messages.shown.last().contains(u"../riservato/segreto.txt"_s));
        editor.save();
        QCOMPARE(a.scalar(u"SELECT attached FROM regmain WHERE id = ?"_s, {id}).toString(),
                 u"../riservato/segreto.txt"_s);
    }

    void typeDialogKeepsTheTypeWhenCancelled()
    {
        QTimer::singleShot(0, this, [] {
            auto *dialog = qobject_cast<EntryTypeDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog->findChild<QRadioButton *>(u"optTipo0"_s)->isChecked());
            dialog->reject();
        });
        QVERIFY(!EntryTypeDialog::choose(nullptr, EntryKind::Closing));
    }
};

QTEST_MAIN(TestEntryEditor)
#include "tst_entryeditor.moc"
