#include "archive/NewArchive.h"
#include "data/Parameters.h"
#include "journal/EntryEditor.h"
#include "journal/EntryRowGrid.h"
#include "main/MainWindow.h"
#include "program/MainModule.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/EditableGridModel.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

// A bookkeeper records a whole entry from the journal view with the keyboard alone, in an
// archive made from the third-sector chart.
class TestKeyboardEntry : public QObject {
    Q_OBJECT

    QTemporaryDir lockDir;

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

    static void activate(QWidget *window)
    {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void recordsThreeRowsFromTheJournalView()
    {
        TestArchive a;
        QString error;
        {
            Connection archive(a.archive());
            QVERIFY2(
                importChart(archive, QDir(binDir()).filePath(u"pdc.gen"_s), u"pdc_ets"_s, &error),
                qPrintable(error));
        }
        auto idOf = [&a](const QString &name) {
            return a.scalar(u"SELECT id FROM sottoconti WHERE descrizione = ?"_s, {name})
                .toLongLong();
        };
        const qint64 cancelleria = idOf(u"Cancelleria e stampati"_s);
        const qint64 telefonia = idOf(u"Telefonia e internet"_s);
        const qint64 contanti = idOf(u"Cassa contanti"_s);
        QVERIFY(cancelleria > 0 && telefonia > 0 && contanti > 0);
        writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser, a.folder());

        ScriptedMessages messages;
        MainModule module(lockDir.path());
        QVERIFY(module.start(QDate(2024, 5, 15)));
        MainWindow *main = module.mainWindow();
        QCOMPARE(main->curView(), MainView::Movimenti);
        activate(main);
        hit(Qt::Key_F5);
        QPointer<EntryEditor> editor = main->findChild<EntryEditor *>();
        QVERIFY(editor && editor->isVisible());
        activate(editor);

        hit(Qt::Key_Return);
        typeText(u"cancell"_s);
        hit(Qt::Key_Return);
        hit(Qt::Key_Return);
        typeText(u"100"_s);
        hit(Qt::Key_Return);
        typeText(u"Penne"_s);
        hit(Qt::Key_Return);

        typeText(u"telef"_s);
        hit(Qt::Key_Return);
        hit(Qt::Key_Return);
        typeText(u"23,45"_s);
        hit(Qt::Key_Return);
        hit(Qt::Key_Return);

        hit(Qt::Key_Return);
        typeText(u"cassa cont"_s);
        hit(Qt::Key_Return);
        typeText(u"123,45"_s);
        hit(Qt::Key_Return);
        hit(Qt::Key_Return);

        // A fourth row started by mistake goes with Ctrl+Delete.
        typeText(u"cassa cont"_s);
        hit(Qt::Key_Return);
        QCOMPARE(editor->rowGrid()->model()->rows().size(), size_t(4));
        hit(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(editor->rowGrid()->model()->rows().size(), size_t(3));
        QLabel *lastDate = main->findChild<QLabel *>(u"sbPanel2"_s);
        QCOMPARE(lastDate->text(), u"Data ultima Reg.ne: N/D"_s);
        hit(Qt::Key_F8);

        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(u" | "_s)));
        QCOMPARE(editor->state(), EntryEditor::State::View);
        // The main window's status bar follows the save while the editor stays open.
        QCOMPARE(lastDate->text(), u"Data ultima Reg.ne: 15/05/24"_s);
        const qint64 id = editor->entryId();
        QCOMPARE(a.scalar(u"SELECT progressivo FROM regmain WHERE id = ?"_s, {id}).toInt(), 1);
        QStringList stored;
        for (int riga : {10, 20, 30})
            stored.append(
                a.scalar(u"SELECT COALESCE(contodare, 0) || ':' || COALESCE(contoavere, 0) || ':' "
                         u"|| (importo / 100) || ':' || descrizione FROM regdet "
                         u"WHERE idRegMain = ? AND riga = ?"_s,
                         {id, riga})
                    .toString());
        QCOMPARE(stored, (QStringList{u"%1:0:10000:Penne"_s.arg(cancelleria),
                                      u"%1:0:2345:Penne"_s.arg(telefonia),
                                      u"0:%1:12345:Penne"_s.arg(contanti)}));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regdet"_s).toInt(), 3);

        hit(Qt::Key_Escape); // closes the entry, now saved, and the journal reloads
        QVERIFY(!editor || !editor->isVisible());
        QCOMPARE(main->listedRows(), 3);
        main->showView(MainView::Schede);
        QCOMPARE(main->listedRows(), 3);

        // Quitting with an entry half typed asks first; staying keeps every window, leaving
        // closes them all and ends the program.
        activate(main);
        hit(Qt::Key_F5);
        editor = main->findChild<EntryEditor *>();
        activate(editor);
        hit(Qt::Key_Return);
        typeText(u"cancell"_s);
        hit(Qt::Key_Return);
        messages.choices = {MessageService::Answer::Cancel};
        QVERIFY(!main->close());
        QVERIFY(main->isVisible() && editor && editor->isVisible());
        messages.choices = {MessageService::Answer::No};
        QVERIFY(main->close());
        QVERIFY(!editor || !editor->isVisible());
        QCOMPARE(messages.shown.constLast(),
                 u"La registrazione non è stata salvata. Salvarla prima di uscire?"_s);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);
    }

    // Closing the main window with a typed, unsaved entry: Sì saves it, the program's event loop
    // ends, and a second start finds the instance lock free.
    void quittingAsksAboutTheTypedEntryAndEndsTheProgram()
    {
        TestArchive a;
        QString error;
        {
            Connection archive(a.archive());
            QVERIFY2(
                importChart(archive, QDir(binDir()).filePath(u"pdc.gen"_s), u"pdc_ets"_s, &error),
                qPrintable(error));
        }
        writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser, a.folder());
        ScriptedMessages messages;
        {
            MainModule module(lockDir.path());
            QVERIFY(module.start(QDate(2024, 5, 15)));
            MainWindow *main = module.mainWindow();
            activate(main);
            hit(Qt::Key_F5);
            QPointer<EntryEditor> editor = main->findChild<EntryEditor *>();
            activate(editor);
            hit(Qt::Key_Return);
            typeText(u"cancell"_s);
            hit(Qt::Key_Return);
            hit(Qt::Key_Return);
            typeText(u"100"_s);
            hit(Qt::Key_Return);
            typeText(u"Penne"_s);
            hit(Qt::Key_Return);
            hit(Qt::Key_Return);
            typeText(u"cassa cont"_s);
            hit(Qt::Key_Return);
            typeText(u"100"_s);
            hit(Qt::Key_Return);
            hit(Qt::Key_Return);

            messages.choices = {MessageService::Answer::Yes};
            QTimer::singleShot(0, main, &QWidget::close);
            QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
            QCOMPARE(QCoreApplication::exec(), 0);
            QVERIFY(!editor || !editor->isVisible());
            QCOMPARE(messages.shown.count(
                         u"La registrazione non è stata salvata. Salvarla prima di uscire?"_s),
                     1);
        }
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regdet"_s).toInt(), 2);
        MainModule second(lockDir.path());
        QVERIFY(second.start(QDate(2024, 5, 15)));
    }
};

QTEST_MAIN(TestKeyboardEntry)
#include "tst_keyboardentry.moc"
