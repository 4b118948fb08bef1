#include "InvoiceBooks.h"
#include "einvoices/InvoiceImportWindow.h"
#include "support/ScriptedMessages.h"
#include "support/TypedKeys.h"
#include "ui/grid/DataGrid.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

class TestInvoiceWindow : public QObject {
    Q_OBJECT

private slots:
    // A batch of three invoices: two get their sub-account typed, the third is unticked; F8
    // books the two.
    void reviewsAndBooksByKeys()
    {
        ScriptedMessages messages;
        Books books;
        books.a.exec(u"INSERT INTO parametri (chiave, valore) VALUES ('ana06', '09876543210')"_s);
        QTemporaryDir folder;
        const QString batch = folder.filePath(u"fatture.zip"_s);
        writeZip(batch, {{u"a.xml"_s, fileBytes(invoiceFile(u"acquisti_due_fatture.xml"_s))},
                         {u"b.xml"_s, fileBytes(invoiceFile(u"acquisto_altra_sede.xml"_s))}});
        FiscalEnvironment environment(books.a.archive());
        environment.setWorkingDate(QDate(2017, 12, 31));
        environment.refresh();

        InvoiceImportWindow window(environment);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.readSources({batch}));
        DataGrid *grid = window.grid();
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(grid->model()->index(0, 10).data().toString(), u"da assegnare"_s);
        typeText(u"consul"_s);
        hit(Qt::Key_Return);
        QCOMPARE(grid->currentIndex().row(), 1);
        typeText(u"consul"_s);
        hit(Qt::Key_Return);
        hit(Qt::Key_Space);
        hit(Qt::Key_F8);

        QVERIFY(messages.shown.contains(u"Registrate 2 fatture."_s));
        QCOMPARE(books.a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);
        QCOMPARE(grid->model()->index(0, 10).data().toString(), u"registrata"_s);
        QCOMPARE(grid->model()->index(2, 10).data().toString(), u"da assegnare"_s);
        QCOMPARE(books.a.scalar(u"SELECT COUNT(*) FROM regdet WHERE contodare = ?"_s, {books.costs})
                     .toInt(),
                 2);
    }
};

QTEST_MAIN(TestInvoiceWindow)
#include "tst_invoicewindow.moc"
