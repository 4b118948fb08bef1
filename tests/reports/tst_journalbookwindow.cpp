#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "main/MainWindow.h"
#include "program/ReportCommands.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportChooser.h"
#include "reports/ReportOptionsWindow.h"
#include "support/PdfText.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/ReportPreview.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QAction *stampaCommand(MainWindow &main)
{
    for (QAction *menu : main.menuBar()->actions()) {
        if (menu->text() != u"&File"_s)
            continue;
        for (QAction *item : menu->menu()->actions()) {
            if (item->text() == u"Stampa"_s)
                return item;
        }
    }
    qFatal("no Stampa in the File menu");
}

// Presses a button of the modal window once it shows.
void pressInModalSoon(const QString &button)
{
    QTimer::singleShot(0, [button] {
        if (QWidget *modal = QApplication::activeModalWidget())
            if (auto *push = modal->findChild<QPushButton *>(button))
                push->click();
    });
}

} // namespace

// The journal book reached from the main window: chooser, options, preview, printer and PDF.
class TestJournalBookWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void previewPrintAndPdfShowTheSamePages()
    {
        TestArchive archive;
        const qint64 mastro = archive.addMastro(u"A01"_s, u"Disponibilità"_s, 1);
        const qint64 conto = archive.addConto(mastro, u"A01001"_s, u"Liquidità"_s);
        const qint64 banca = archive.addSottoconto(conto, u"Banca"_s);
        const qint64 cassa = archive.addSottoconto(conto, u"Cassa"_s);
        // A fiscal year from July: enough rows for several pages, and one row outside it.
        QVERIFY(
            writeParameter(archive, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 7));
        for (int day = 0; day < 70; ++day)
            archive.addEntry(QDate(2023, 7, 1).addDays(day * 3),
                             {{banca, {}, Money::fromUnits(105000), u"versamento"_s},
                              {{}, cassa, Money::fromUnits(105000), u"versamento"_s}});
        archive.addEntry(QDate(2024, 7, 1), {{banca, cassa, Money::fromUnits(10000), u"dopo"_s}});
        FiscalEnvironment environment(archive);
        environment.setWorkingDate(QDate(2024, 3, 1));
        QVERIFY(environment.refresh());
        environment.anas01 = u"Circolo Prova"_s;

        ScriptedMessages messages;
        MainWindow main(environment);
        wireReportCommands(main, environment);
        QAction *stampa = stampaCommand(main);
        QVERIFY(stampa->isEnabled());
        QCOMPARE(stampa->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12));

        pressInModalSoon(u"cmdOK"_s); // "Avanti >>" with the accounting reports chosen
        stampa->trigger();
        auto *window = main.findChild<ReportOptionsWindow *>();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        window->selectReport(ReportCode::GiornaleContabile);
        auto *sheet = window->findChild<QLineEdit *>(u"txtFoglio"_s);
        QApplication::setActiveWindow(window);
        sheet->setFocus();
        QVERIFY(QTest::qWaitFor([sheet] { return QApplication::focusWidget() == sheet; }));
        QTest::keyClick(sheet, Qt::Key_Backspace);
        QTest::keyClicks(sheet, u"15"_s);

        // The preview, printed from its toolbar.
        QTemporaryDir folder;
        const QString printed = folder.filePath(u"stampa.pdf"_s);
        messages.printFiles = {printed};
        int previewPages = 0;
        QTimer::singleShot(0, [&previewPages] {
            auto *preview = qobject_cast<ReportPreview *>(QApplication::activeModalWidget());
            if (!preview)
                return;
            previewPages = preview->findChild<QPrintPreviewWidget *>()->pageCount();
            preview->findChild<QAction *>(u"actStampa"_s)->trigger();
            preview->close();
        });
        window->findChild<QPushButton *>(u"cmdPreview"_s)->click();
        QVERIFY(previewPages >= 3);

        // The export to PDF, into the archive's documents folder.
        const QString exported = QDir(archive.folder()).filePath(u"documenti/giornale.pdf"_s);
        messages.files = {exported};
        window->findChild<QAction *>(u"expPdf"_s)->trigger();
        QCOMPARE(messages.saveStarts.constLast(),
                 QDir(archive.folder())
                     .filePath(u"documenti/Giornale contabile 2023-07-01 2024-06-30.pdf"_s));

        const QStringList pages = pdfPageTexts(exported);
        QCOMPARE(pages.size(), previewPages);
        QCOMPARE(pdfPageTexts(printed), pages);
        QVERIFY(pages[0].contains(u"Circolo Prova"_s));
        QVERIFY(pages[0].contains(u"dal 01/07/2023 al 30/06/2024"_s));
        QVERIFY(pages[0].contains(u"15"_s));
        // The third page: sheet 17 (15 + 3 - 1), then its page number and the year text.
        QVERIFY2(pages[2].contains(u" 17 3 / 2023-2024 "_s), qPrintable(pages[2]));
        QVERIFY(!pages.join(u' ').contains(u"dopo"_s));
        QVERIFY(window->isVisible());
    }

    // Both balances from the same window: a PDF of the sequential one and the opposed one.
    void balancesExportFromTheOptionsWindow()
    {
        TestArchive archive;
        const qint64 cassa =
            archive.addSottoconto(archive.addConto(archive.addMastro(u"A01"_s, u"Liquidità"_s, 1),
                                                   u"A01001"_s, u"Cassa"_s),
                                  u"Cassa contanti"_s);
        const qint64 quote =
            archive.addSottoconto(archive.addConto(archive.addMastro(u"R01"_s, u"Proventi"_s, 4),
                                                   u"R01001"_s, u"Quote"_s),
                                  u"Quote associative"_s);
        archive.addEntry(QDate(2024, 2, 1), {{cassa, quote, Money::fromCents(30000), u"quote"_s}});
        FiscalEnvironment environment(archive);
        environment.setWorkingDate(QDate(2024, 3, 1));
        QVERIFY(environment.refresh());

        ScriptedMessages messages;
        MainWindow main(environment);
        wireReportCommands(main, environment);
        pressInModalSoon(u"cmdOK"_s);
        stampaCommand(main)->trigger();
        auto *window = main.findChild<ReportOptionsWindow *>();
        QVERIFY(window);
        for (const int code : {ReportCode::Bilancio, ReportCode::BilancioSezioniContrapposte}) {
            window->selectReport(code);
            const QString exported =
                QDir(archive.folder()).filePath(u"documenti/bilancio%1.pdf"_s.arg(code));
            messages.files = {exported};
            window->findChild<QAction *>(u"expPdf"_s)->trigger();
            const QString text = pdfPageTexts(exported).join(u' ');
            QVERIFY2(text.contains(u"Cassa contanti"_s) && text.contains(u"300,00"_s),
                     qPrintable(text));
        }
        // The cash-basis statement among the reports, of the period's fiscal year.
        window->selectReport(ReportCode::RendicontoCassa);
        const QString cash = QDir(archive.folder()).filePath(u"documenti/rendiconto.pdf"_s);
        messages.files = {cash};
        window->findChild<QAction *>(u"expPdf"_s)->trigger();
        const QString text = pdfPageTexts(cash).join(u' ');
        QVERIFY2(text.contains(u"RENDICONTO PER CASSA"_s) && text.contains(u"Esercizio"_s),
                 qPrintable(text));
    }
};

QTEST_MAIN(TestJournalBookWindow)
#include "tst_journalbookwindow.moc"
