#include "bankimport/BankImportWindow.h"
#include "bankimport/CsvProfileDialog.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "support/TypedKeys.h"
#include "ui/Help.h"
#include "ui/HelpWindow.h"
#include "ui/grid/DataGrid.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QTest>

using namespace Qt::StringLiterals;

class TestBankImportWindow : public QObject {
    Q_OBJECT

private slots:
    // The review by keys: a counterpart typed with completion, one movement unticked, F8.
    void reviewsAndBooksByKeys()
    {
        ScriptedMessages messages;
        TestArchive a;
        const qint64 cash =
            a.addConto(a.addMastro(u"A01"_s, u"Liquidità"_s, 1), u"A01001"_s, u"Banche"_s);
        a.exec(u"UPDATE conti SET liquidita = 1 WHERE id = ?"_s, {cash});
        const qint64 bank = a.addSottoconto(cash, u"Banca Etica"_s);
        const qint64 costs =
            a.addConto(a.addMastro(u"C01"_s, u"Costi"_s, 3), u"C01001"_s, u"Servizi"_s);
        const qint64 energy = a.addSottoconto(costs, u"Energia elettrica"_s);
        const qint64 revenues =
            a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Proventi"_s);
        const qint64 dues = a.addSottoconto(revenues, u"Quote associative"_s);
        FiscalEnvironment environment(a.archive());
        environment.setWorkingDate(QDate(2026, 3, 31));
        environment.refresh();

        BankImportWindow window(environment);
        // The review model keeps the rules of Qt's models through every read, edit and booking.
        QAbstractItemModelTester tester(window.grid()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // Keys in the grid before any file is read do nothing.
        window.grid()->setFocus();
        typeText(u"x "_s);
        hit(Qt::Key_F8);
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(window.readStatement(QStringLiteral(TOVRIN_BANK_DATA) + u"/camt053-v02.xml"_s));
        DataGrid *grid = window.grid();
        // Four booked movements, and the one pending at the bank listed last.
        QCOMPARE(grid->model()->rowCount(), 5);
        QCOMPARE(grid->model()->index(4, 7).data().toString(), u"in attesa"_s);
        QCOMPARE(grid->currentIndex().row(), 0);
        // Row 1: typed, completed, Enter stores it and moves down.
        typeText(u"quote"_s);
        hit(Qt::Key_Return);
        QCOMPARE(grid->currentIndex().row(), 1);
        typeText(u"energ"_s);
        hit(Qt::Key_Return);
        // Row 3 is unticked; row 4 stays without a counterpart.
        hit(Qt::Key_Space);
        hit(Qt::Key_Return);
        QCOMPARE(grid->currentIndex().row(), 3);
        hit(Qt::Key_F8);

        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);
        QCOMPARE(
            a.scalar(u"SELECT contoavere FROM regdet WHERE contodare = ?"_s, {bank}).toLongLong(),
            dues);
        QCOMPARE(
            a.scalar(u"SELECT contodare FROM regdet WHERE contoavere = ?"_s, {bank}).toLongLong(),
            energy);
        QVERIFY(messages.shown.contains(u"Registrati 2 movimenti."_s));
        QCOMPARE(grid->model()->index(0, 7).data().toString(), u"registrato n. 1"_s);

        // The same file again books nothing twice.
        QVERIFY(window.readStatement(QStringLiteral(TOVRIN_BANK_DATA) + u"/camt053-v02.xml"_s));
        QCOMPARE(grid->model()->index(1, 7).data().toString(), u"già importato"_s);
        hit(Qt::Key_Space);
        QCOMPARE(grid->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    }

    // A saved profile opens with its own values: saving it again changes nothing.
    void aSavedProfileOpensWithItsValues()
    {
        ScriptedMessages messages;
        TestArchive a;
        CsvProfile saved;
        saved.name = u"Posta"_s;
        saved.encoding = u"ISO-8859-15"_s;
        saved.skippedRows = 1;
        saved.dateFormat = u"dd/MM/yy"_s;
        saved.dateColumn = 1;
        saved.debitColumn = 3;
        saved.creditColumn = 4;
        saved.descriptionColumn = 5;
        saved.statusColumn = 6;
        saved.bookedStatuses = {u"Contabilizzato"_s};
        QString error;
        QVERIFY(inTransaction(
            a.archive(),
            [&](const Connection &c, QString *failure) {
                return saveCsvProfile(c, saved, failure);
            },
            &error));
        CsvProfileDialog dialog(a.archive(), {});
        dialog.openProfile(u"Posta"_s);
        QCOMPARE(dialog.profile(), saved);
    }

    void f1OpensTheImportsHelp()
    {
        ScriptedMessages messages;
        TestArchive a;
        FiscalEnvironment environment(a.archive());
        environment.refresh();
        BankImportWindow window(environment);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_F1);
        auto *help = window.findChild<HelpWindow *>();
        QVERIFY(help);
        QCOMPARE(help->currentPage(), helpTopicUrl(HelpContext::ImportaEstratto));
    }
};

QTEST_MAIN(TestBankImportWindow)
#include "tst_bankimportwindow.moc"
