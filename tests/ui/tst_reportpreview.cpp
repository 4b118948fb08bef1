#include "support/PdfText.h"
#include "support/ScriptedMessages.h"
#include "ui/PreviewDocument.h"
#include "ui/ReportOutput.h"
#include "ui/ReportPreview.h"
#include "ui/ReportProgressDialog.h"
#include "ui/WindowUtils.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// Pages that say which page they are, with a table of contents when asked.
class NumberedPages : public PreviewDocument {
public:
    explicit NumberedPages(int pages, QList<ContentsEntry> contents = {})
        : m_pages(pages), m_contents(std::move(contents))
    {
    }

    int pageCount() const override { return m_pages; }
    QPageLayout pageLayout() const override
    {
        return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    }
    void paintPage(QPainter &painter, int index) const override
    {
        const qreal scale = painter.device()->logicalDpiY() / 72.0;
        painter.scale(scale, scale);
        QFont font(u"DejaVu Sans"_s);
        font.setPointSizeF(12 / scale);
        painter.setFont(font);
        painter.drawText(QPointF(72, 72), u"Pagina %1 di %2"_s.arg(index + 1).arg(m_pages));
        painter.drawLine(QPointF(72, 80), QPointF(500, 80));
    }
    QList<ContentsEntry> contents() const override { return m_contents; }

private:
    int m_pages;
    QList<ContentsEntry> m_contents;
};

QAction *tool(ReportPreview &preview, const QString &name)
{
    auto *action = preview.findChild<QAction *>(name);
    if (!action)
        qFatal("no tool %s", qPrintable(name));
    return action;
}

} // namespace

// The preview, the printer and the export files of laid-out pages.
class TestReportPreview : public QObject {
    Q_OBJECT

private slots:
    void navigationKeepsWithinThePages()
    {
        NumberedPages pages(3);
        ReportPreview preview(pages);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.currentPage(), 1);
        tool(preview, u"actPrecedente"_s)->trigger();
        QCOMPARE(preview.currentPage(), 1);
        tool(preview, u"actSuccessiva"_s)->trigger();
        QCOMPARE(preview.currentPage(), 2);
        tool(preview, u"actUltima"_s)->trigger();
        QCOMPARE(preview.currentPage(), 3);
        tool(preview, u"actSuccessiva"_s)->trigger();
        QCOMPARE(preview.currentPage(), 3);
        auto *number = preview.findChild<QSpinBox *>(u"txtPagina"_s);
        QCOMPARE(number->value(), 3);
        QCOMPARE(number->maximum(), 3);
        tool(preview, u"actPrima"_s)->trigger();
        QCOMPARE(number->value(), 1);

        // A page number typed in the toolbar shows that page.
        number->setFocus();
        number->selectAll();
        QTest::keyClicks(number, u"2"_s);
        QTest::keyClick(number, Qt::Key_Return);
        QCOMPARE(preview.currentPage(), 2);
    }

    void zoomChoicesAndCaptions()
    {
        NumberedPages pages(2);
        ReportPreview preview(pages);
        auto *view = preview.findChild<QPrintPreviewWidget *>(u"preview"_s);
        QCOMPARE(tool(preview, u"actStampa"_s)->text(), u"Stampa"_s);
        QCOMPARE(tool(preview, u"actLarghezza"_s)->text(), u"Larghezza"_s);
        QCOMPARE(tool(preview, u"actPagina"_s)->text(), u"Pagina"_s);
        QVERIFY(preview.isModal());
        tool(preview, u"actPagina"_s)->trigger();
        QCOMPARE(view->zoomMode(), QPrintPreviewWidget::FitInView);
        tool(preview, u"actLarghezza"_s)->trigger();
        QCOMPARE(view->zoomMode(), QPrintPreviewWidget::FitToWidth);
        QCOMPARE(view->pageCount(), 2);
    }

    void contentsPanelOnlyWithContents()
    {
        NumberedPages plain(2);
        ReportPreview without(plain);
        without.show();
        QVERIFY(!without.findChild<QTreeWidget *>(u"tvContenuto"_s)->isVisible());

        NumberedPages cards(4, {{u"Banca"_s, 0, 0}, {u"Cassa"_s, 2, 0}, {u"Agosto"_s, 3, 1}});
        ReportPreview with(cards);
        with.show();
        auto *tree = with.findChild<QTreeWidget *>(u"tvContenuto"_s);
        QVERIFY(tree->isVisible());
        QCOMPARE(tree->headerItem()->text(0), u"Contenuto"_s);
        QCOMPARE(tree->topLevelItemCount(), 2);
        QTreeWidgetItem *cassa = tree->topLevelItem(1);
        QCOMPARE(cassa->childCount(), 1);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(cassa).center());
        QCOMPARE(with.currentPage(), 3);
    }

    // A window opens at the size the user last left it.
    void windowsRememberTheirSize()
    {
        {
            QWidget first;
            rememberGeometry(&first, u"prova"_s);
            first.resize(300, 200);
            first.show();
            first.resize(640, 420);
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            first.hide();
        }
        QWidget second;
        rememberGeometry(&second, u"prova"_s);
        second.resize(300, 200);
        second.show();
        QCOMPARE(second.size(), QSize(640, 420));
    }

    void exportWritesTheFileChosenAndNothingWhenCancelled()
    {
        ScriptedMessages messages;
        QTemporaryDir folder;
        NumberedPages pages(3);
        const QString target = folder.filePath(u"giornale.pdf"_s);

        QVERIFY(exportDocument(nullptr, pages, PreviewDocument::Format::Pdf, folder.path(),
                               u"Giornale"_s)
                    .isEmpty());
        QVERIFY(QDir(folder.path()).isEmpty());
        QCOMPARE(messages.shown, QStringList{u"Esporta"_s});
        QCOMPARE(messages.saveStarts, QStringList{folder.filePath(u"Giornale.pdf"_s)});

        messages.files = {target};
        QCOMPARE(exportDocument(nullptr, pages, PreviewDocument::Format::Pdf, folder.path(),
                                u"Giornale"_s),
                 target);
        QCOMPARE(pdfPageTexts(target),
                 (QStringList{u"Pagina 1 di 3"_s, u"Pagina 2 di 3"_s, u"Pagina 3 di 3"_s}));
        QCOMPARE(messages.saveFilters.constLast(), u"Acrobat Reader (*.pdf)"_s);
        QCOMPARE(messages.shown.constLast(), u"File scritto: "_s + target);
        QCOMPARE(exportBaseName(u"Giornale contabile"_s, QDate(2026, 1, 1), QDate(2026, 12, 31)),
                 u"Giornale contabile 2026-01-01 2026-12-31"_s);
        QCOMPARE(exportBaseName(u"Conti d'ordine / terzi"_s), u"Conti d'ordine - terzi"_s);
    }

    void exportToAFormatTheReportLacksSaysSoAndWritesNothing()
    {
        ScriptedMessages messages;
        QTemporaryDir folder;
        NumberedPages pages(1);
        const QString target = folder.filePath(u"foglio.xlsx"_s);
        messages.files = {target};
        QVERIFY(exportDocument(nullptr, pages, PreviewDocument::Format::Excel, folder.path(),
                               u"Foglio"_s)
                    .isEmpty());
        QCOMPARE(messages.saveFilters, QStringList{u"Microsoft Excel (*.xlsx)"_s});
        QVERIFY(!QFile::exists(target));
        QCOMPARE(messages.shown.size(), 2);
    }

    void printingGivesTheSamePagesAsTheExport()
    {
        ScriptedMessages messages;
        QTemporaryDir folder;
        NumberedPages pages(3);
        const QString printed = folder.filePath(u"stampa.pdf"_s);
        const QString exported = folder.filePath(u"export.pdf"_s);

        QVERIFY(printDocument(nullptr, pages)); // printer dialog cancelled
        QVERIFY(!QFile::exists(printed));

        messages.printFiles = {printed};
        QVERIFY(printDocument(nullptr, pages));
        QVERIFY(writePdf(pages, exported));
        QCOMPARE(pdfPageTexts(printed).size(), 3);
        QCOMPARE(pdfPageTexts(printed), pdfPageTexts(exported));
    }

    void previewPrintsThroughThePrinterDialog()
    {
        ScriptedMessages messages;
        QTemporaryDir folder;
        NumberedPages pages(2);
        ReportPreview preview(pages);
        messages.printFiles = {folder.filePath(u"anteprima.pdf"_s)};
        tool(preview, u"actStampa"_s)->trigger();
        QCOMPARE(pdfPageTexts(folder.filePath(u"anteprima.pdf"_s)),
                 (QStringList{u"Pagina 1 di 2"_s, u"Pagina 2 di 2"_s}));
    }

    void progressStopsWhenCancelled()
    {
        ReportProgressDialog progress(nullptr, u"Preparazione"_s);
        const auto buttons = progress.dialog()->findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.constFirst()->text(), u"Annulla"_s);
        QVERIFY(progress.step(1, 10));
        QCOMPARE(progress.dialog()->maximum(), 10);
        QCOMPARE(progress.dialog()->value(), 1);
        progress.dialog()->cancel();
        QVERIFY(!progress.step(2, 10));
        QVERIFY(progress.wasCancelled());
    }
};

QTEST_MAIN(TestReportPreview)
#include "tst_reportpreview.moc"
