#include "data/cEnvironment.h"
#include "journal/EntryRowGrid.h"
#include "journal/frmTipoReg.h"
#include "journal/frm_io_Reg.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/EditableGridModel.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
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

    static cEnvironment environmentOn(const Archive &a, const QDate &date)
    {
        cEnvironment environment(a);
        environment.setCurDate(date);
        environment.Update();
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

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void recordsAnEntryRowByRow()
    {
        TestArchive a;
        chart(a);
        cEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        frm_io_Reg editor(environment);
        QVERIFY(editor.Nuovo());
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
        QCOMPARE(editor.state(), frm_io_Reg::State::View);
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
        cEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        frm_io_Reg editor(environment);
        editor.Nuovo();
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
        cEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        frm_io_Reg editor(environment);
        editor.Nuovo();
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
        cEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        frm_io_Reg editor(environment);
        editor.Nuovo();
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
        QCOMPARE(opened, u"frmTrovaSottoconto"_s);
        QCOMPARE(rows->model()->rows().size(), size_t(0));
    }

    void changesTypeDateAndDeletes()
    {
        TestArchive a;
        chart(a);
        const qint64 id = a.addEntry(QDate(2024, 3, 1),
                                     {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 1);
        a.addEntry(QDate(2024, 4, 1), {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 2);
        cEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        frm_io_Reg editor(environment);
        QVERIFY(editor.Apri(id));
        QCOMPARE(editor.state(), frm_io_Reg::State::View);
        QVERIFY(!editor.findChild<QPushButton *>(u"cmdTipo"_s)->isEnabled());
        editor.modifica();
        QCOMPARE(editor.state(), frm_io_Reg::State::Edit);

        QTimer::singleShot(0, this, [] {
            auto *dialog = qobject_cast<frmTipoReg *>(QApplication::activeModalWidget());
            QVERIFY(dialog->findChild<QRadioButton *>(u"optTipo1"_s)->isChecked());
            dialog->findChild<QRadioButton *>(u"optTipo2"_s)->setChecked(true);
            dialog->findChild<QPushButton *>(u"cmdSave"_s)->click();
        });
        editor.findChild<QPushButton *>(u"cmdTipo"_s)->click();
        QCOMPARE(editor.findChild<QGroupBox *>(u"frameTipo"_s)->title(),
                 u"Tipo Reg.: Apertura Conti"_s);
        editor.findChild<QDateEdit *>(u"datData"_s)->setDate(QDate(2024, 4, 20));
        editor.salva();
        QCOMPARE(
            a.scalar(
                 u"SELECT tipo || ':' || progressivo || ':' || data FROM regmain WHERE id = ?"_s,
                 {id})
                .toString(),
            u"1:1:2024-04-20"_s);

        messages.answers = {true};
        editor.elimina();
        QCOMPARE(messages.shown.last(), u"Eliminare la Registrazione?"_s);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain WHERE id = ?"_s, {id}).toInt(), 0);
        QCOMPARE(editor.state(), frm_io_Reg::State::New);
        QCOMPARE(editor.rowGrid()->rows().size(), 0);
    }

    void offersRenumberingOnClose()
    {
        TestArchive a;
        chart(a);
        a.addEntry(QDate(2024, 4, 1), {{cassa, quote, Money::fromCents(500), u"Quota"_s}}, 0, 1);
        cEnvironment environment = environmentOn(a, QDate(2024, 3, 1));
        ScriptedMessages messages;
        bool reloaded = false;
        frm_io_Reg editor(environment);
        editor.setOnClosed([&] { reloaded = true; });
        editor.Nuovo();
        editor.rowGrid()->setRows(
            {{0, cassa, quote, Money::fromCents(100), u"Quota anticipata"_s}});
        editor.salva();
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
        cEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        frm_io_Reg editor(environment);
        editor.Nuovo();
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
        cEnvironment environment = environmentOn(a, QDate(2024, 5, 15));
        ScriptedMessages messages;
        frm_io_Reg editor(environment);
        const QString attachments = QDir(a.folder()).filePath(u"allegati"_s);
        editor.setAttachmentsFolder(attachments);
        editor.Apri(id);
        editor.modifica();
        messages.files = {chosen};
        editor.findChild<QPushButton *>(u"cmdAllegato0"_s)->click();
        QCOMPARE(messages.shown.last(), u"Carica Allegato"_s);
        const QStringList stored = QDir(attachments).entryList(QDir::Files);
        QCOMPARE(stored.size(), 1);
        QVERIFY(QRegularExpression(u"^\\d{16}\\.pdf$"_s).match(stored.first()).hasMatch());
        QVERIFY(!editor.findChild<QPushButton *>(u"cmdAllegato0"_s)->isEnabled());
        editor.salva();
        QCOMPARE(a.scalar(u"SELECT attached FROM regmain WHERE id = ?"_s, {id}).toString(),
                 stored.first());

        editor.modifica();
        messages.answers = {true};
        editor.findChild<QPushButton *>(u"cmdAllegato2"_s)->click();
        QCOMPARE(messages.shown.last(), u"Confermare eliminazione dell'allegato?"_s);
        QVERIFY(QDir(attachments).entryList(QDir::Files).isEmpty());
        editor.salva();
        QVERIFY(a.scalar(u"SELECT attached FROM regmain WHERE id = ?"_s, {id}).isNull());
    }

    void typeDialogKeepsTheTypeWhenCancelled()
    {
        QTimer::singleShot(0, this, [] {
            auto *dialog = qobject_cast<frmTipoReg *>(QApplication::activeModalWidget());
            QVERIFY(dialog->findChild<QRadioButton *>(u"optTipo0"_s)->isChecked());
            dialog->reject();
        });
        QCOMPARE(frmTipoReg::Apri(nullptr, -1), -2);
    }
};

QTEST_MAIN(TestEntryEditor)
#include "tst_entryeditor.moc"
