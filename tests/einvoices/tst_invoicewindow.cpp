#include "InvoiceBooks.h"
#include "einvoices/InvoiceImportWindow.h"
#include "einvoices/InvoiceReviewModel.h"
#include "support/ScriptedMessages.h"
#include "support/TypedKeys.h"
#include "ui/grid/DataGrid.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

class TestInvoiceWindow : public QObject {
    Q_OBJECT

private slots:
    // A batch of three invoices: the first is registered on a later day (an earlier one is
    // refused), two get their sub-account typed, the third is unticked; F8 books the two.
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
        const int state = InvoiceReviewModel::Stato;
        QCOMPARE(grid->model()->index(0, state).data().toString(), u"da assegnare"_s);
        const int toDate = InvoiceReviewModel::Sottoconto - InvoiceReviewModel::Registrazione;
        for (int i = 0; i < toDate; ++i)
            hit(Qt::Key_Left);
        typeText(u"1/1/2000"_s);
        hit(Qt::Key_Return);
        QTRY_VERIFY(!messages.shown.isEmpty() &&
                    messages.shown.last().startsWith(u"La data di registrazione non può"_s));
        hit(Qt::Key_Up);
        typeText(u"31/12/17"_s);
        hit(Qt::Key_Return);
        for (int i = 0; i < toDate; ++i)
            hit(Qt::Key_Right);
        hit(Qt::Key_Up);
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, InvoiceReviewModel::Sottoconto));
        typeText(u"consul"_s);
        hit(Qt::Key_Return);
        QCOMPARE(grid->currentIndex().row(), 1);
        typeText(u"consul"_s);
        hit(Qt::Key_Return);
        hit(Qt::Key_Space);
        hit(Qt::Key_F8);

        QVERIFY(messages.shown.contains(u"Registrate 2 fatture."_s));
        QCOMPARE(books.a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);
        QCOMPARE(grid->model()->index(0, state).data().toString(), u"registrata"_s);
        QCOMPARE(grid->model()->index(2, state).data().toString(), u"da assegnare"_s);
        const qint64 first = static_cast<InvoiceReviewModel *>(grid->model())->invoiceAt(0).entryId;
        QCOMPARE(books.a.scalar(u"SELECT data FROM regmain WHERE id = ?"_s, {first}).toString(),
                 u"2017-12-31"_s);
        QCOMPARE(books.a.scalar(u"SELECT COUNT(*) FROM regdet WHERE contodare = ?"_s, {books.costs})
                     .toInt(),
                 2);
    }
};

QTEST_MAIN(TestInvoiceWindow)
#include "tst_invoicewindow.moc"
