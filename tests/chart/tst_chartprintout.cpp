#include "chart/ChartPrintout.h"
#include "chart/ChartPrintoutWindow.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "main/MainWindow.h"
#include "program/ReportCommands.h"
#include "reportengine/ReportExport.h"
#include "support/DocumentText.h"
#include "support/GoldenText.h"
#include "support/PdfText.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/ReportPreview.h"

#include <WorkbookXml.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QMenuBar>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A chart with every nature, listed here in the order the printout must follow: a group, a
// ledger without accounts, an account without sub-accounts, two ledgers sharing a code, and a
// memorandum ledger that sorts before the others by code but prints last.
struct Fixture {
    TestArchive archive;
    FiscalEnvironment environment;

    Fixture()
    {
        const qint64 ordine = archive.addMastro(u"010"_s, u"Beni di terzi"_s, 0);
        archive.addSottoconto(archive.addConto(ordine, u"010001"_s, u"Beni in deposito"_s),
                              u"Merci in conto deposito"_s);
        const qint64 liquidita = archive.addMastro(u"100"_s, u"Liquidità"_s, 1, u"C) Attivo"_s);
        const qint64 banche = archive.addConto(liquidita, u"100001"_s, u"Banche"_s);
        archive.addSottoconto(banche, u"Banca Beta"_s);
        archive.addSottoconto(banche, u"Banca Alfa"_s);
        archive.addConto(liquidita, u"100002"_s, u"Cassa"_s);         // no sub-accounts
        archive.addMastro(u"110"_s, u"Crediti"_s, 1, u"C) Attivo"_s); // no accounts
        const qint64 debitiA = archive.addMastro(u"200"_s, u"Debiti A"_s, 2);
        const qint64 debitiB = archive.addMastro(u"200"_s, u"Debiti B"_s, 2);
        archive.addSottoconto(archive.addConto(debitiB, u"200002"_s, u"Fornitori B"_s),
                              u"Fornitore Beta"_s);
        archive.addSottoconto(archive.addConto(debitiA, u"200001"_s, u"Fornitori A"_s),
                              u"Fornitore Alfa"_s);
        archive.addSottoconto(archive.addConto(archive.addMastro(u"300"_s, u"Acquisti"_s, 3),
                                               u"300001"_s, u"Merci"_s),
                              u"Merci c/acquisti"_s);
        archive.addSottoconto(archive.addConto(archive.addMastro(u"400"_s, u"Vendite"_s, 4),
                                               u"400001"_s, u"Ricavi"_s),
                              u"Merci c/vendite"_s);
        // The headings come from the archive's own captions.
        for (const auto &[key, value] : {std::pair{u"spDescrizione"_s, u"Patrimonio"_s},
                                         std::pair{u"coDescrizione"_s, u"Conti di memoria"_s}})
            if (!writeParameter(archive, key, ValueType::Text, Storage::InArchive, value))
                qFatal("caption");
        prepareEnvironment();
    }

    void prepareEnvironment()
    {
        environment.setArchive(archive);
        environment.setWorkingDate(QDate(2024, 5, 15));
        if (!environment.refresh())
            qFatal("environment");
        environment.anas01 = u"Circolo Prova"_s;
    }

    ReportDocument laidOut(ChartLayout layout, std::array<bool, 4> levels, bool exporting = false)
    {
        ChartPrintoutOptions options = chartPrintoutOptions(environment);
        options.layout = layout;
        options.levels = levels;
        options.exporting = exporting;
        Connection connection(archive, Connection::Mode::ReadOnly);
        ReportDocument document;
        QString error;
        if (!layOutChartPrintout(connection.database(), options, &document, &error))
            qFatal("%s", qPrintable(error));
        return document;
    }
};

constexpr std::array<bool, 4> AllLevels{true, true, true, true};

QStringList allLines(const ReportDocument &document)
{
    QStringList lines;
    for (int page = 0; page < document.pageCount(); ++page)
        lines += document.textLines(page);
    return lines;
}

// The left edge of the text run that reads text.
double leftOf(const ReportDocument &document, const QString &text)
{
    for (const TextRun &run : document.pages.at(0).texts)
        if (document.pages.at(0).texts.text(run) == text)
            return run.box.left();
    qFatal("no %s", qPrintable(text));
}

template <typename T> T *child(QWidget &window, const QString &name)
{
    auto *widget = window.findChild<T *>(name);
    if (!widget)
        qFatal("no %s", qPrintable(name));
    return widget;
}

void pressSpaceOn(QCheckBox *box)
{
    QApplication::setActiveWindow(box->window());
    box->setFocus();
    QVERIFY(QTest::qWaitFor([box] { return QApplication::focusWidget() == box; }));
    QTest::keyClick(box, Qt::Key_Space);
}

QStringList documentsIn(const Archive &archive)
{
    return QDir(QDir(archive.folder()).filePath(u"documenti"_s)).entryList(QDir::Files);
}

QString sheetXml(const QString &path)
{
    return QString::fromUtf8(WorkbookXml::read(path, u"xl/worksheets/sheet1.xml"_s));
}

} // namespace

// The printout of the chart of accounts: the laid-out pages, the exported files, its window and
// the command line.
class TestChartPrintout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void pagesListTheWholeChartByNature()
    {
        Fixture f;
        const ReportDocument document = f.laidOut(ChartLayout::Indented, AllLevels);
        QCOMPARE(document.pageCount(), 1);
        QString difference;
        QVERIFY2(matchesGolden(u"chart_printout.txt"_s, documentText(document), &difference),
                 qPrintable(difference));
        const QStringList expected{
            u" PIANO DEI CONTI | Circolo Prova"_s,
            u"PATRIMONIO - ATTIVO"_s,
            u"C) Attivo"_s,
            u"100 | Liquidità"_s,
            u"100001 | Banche"_s,
            u"Banca Alfa"_s,
            u"Banca Beta"_s,
            u"100002 | Cassa"_s,
            u"110 | Crediti"_s,
            u"PATRIMONIO - PASSIVO"_s,
            u"200 | Debiti A"_s,
            u"200001 | Fornitori A"_s,
            u"Fornitore Alfa"_s,
            u"200 | Debiti B"_s,
            u"200002 | Fornitori B"_s,
            u"Fornitore Beta"_s,
            u"CONTO ECONOMICO - COSTI"_s,
            u"300 | Acquisti"_s,
            u"300001 | Merci"_s,
            u"Merci c/acquisti"_s,
            u"CONTO ECONOMICO - RICAVI"_s,
            u"400 | Vendite"_s,
            u"400001 | Ricavi"_s,
            u"Merci c/vendite"_s,
            u"CONTI DI MEMORIA"_s,
            u"010 | Beni di terzi"_s,
            u"010001 | Beni in deposito"_s,
            u"Merci in conto deposito"_s,
            u"Pagina 1 di 1"_s,
        };
        QCOMPARE(document.textLines(0), expected);

        // Indented: each level further right; aligned left: ledgers, accounts and sub-accounts
        // share the margin.
        QVERIFY(leftOf(document, u"100"_s) < leftOf(document, u"100001"_s));
        QVERIFY(leftOf(document, u"100001"_s) < leftOf(document, u"Banca Alfa"_s));
        const ReportDocument aligned = f.laidOut(ChartLayout::AlignedLeft, AllLevels);
        QCOMPARE(aligned.textLines(0), expected);
        QCOMPARE(leftOf(aligned, u"100"_s), leftOf(aligned, u"C) Attivo"_s));
        QCOMPARE(leftOf(aligned, u"100001"_s), leftOf(aligned, u"C) Attivo"_s));
        QCOMPARE(leftOf(aligned, u"Banca Alfa"_s), leftOf(aligned, u"C) Attivo"_s));
    }

    void levelsLeaveOutTheirLines()
    {
        Fixture f;
        // "Mastro" alone: the nature headings and one line per ledger.
        QCOMPARE(
            allLines(f.laidOut(ChartLayout::Indented, {false, true, false, false})),
            (QStringList{u" PIANO DEI CONTI | Circolo Prova"_s, u"PATRIMONIO - ATTIVO"_s,
                         u"100 | Liquidità"_s, u"110 | Crediti"_s, u"PATRIMONIO - PASSIVO"_s,
                         u"200 | Debiti A"_s, u"200 | Debiti B"_s, u"CONTO ECONOMICO - COSTI"_s,
                         u"300 | Acquisti"_s, u"CONTO ECONOMICO - RICAVI"_s, u"400 | Vendite"_s,
                         u"CONTI DI MEMORIA"_s, u"010 | Beni di terzi"_s, u"Pagina 1 di 1"_s}));
        // Sub-accounts alone, under their nature.
        const QStringList subAccounts =
            allLines(f.laidOut(ChartLayout::Indented, {false, false, false, true}));
        QCOMPARE(subAccounts.mid(1, 4), (QStringList{u"PATRIMONIO - ATTIVO"_s, u"Banca Alfa"_s,
                                                     u"Banca Beta"_s, u"PATRIMONIO - PASSIVO"_s}));
        QVERIFY(!subAccounts.contains(u"C) Attivo"_s));
    }

    void exportsWriteThePrintedLines()
    {
        Fixture f;
        QTemporaryDir folder;
        QString error;
        // The spreadsheet: a caption row, code and description of every line, no page heading
        // or page number.
        const QString sheet = folder.filePath(u"pdc.xlsx"_s);
        QVERIFY2(exportXlsx(f.laidOut(ChartLayout::Indented, AllLevels, true), sheet, &error),
                 qPrintable(error));
        const QString xml = sheetXml(sheet);
        for (const QString &text : {u"Codice"_s, u"PATRIMONIO - ATTIVO"_s, u"100001"_s,
                                    u"Banca Alfa"_s, u"CONTI DI MEMORIA"_s})
            QVERIFY2(xml.contains(text), qPrintable(text));
        QVERIFY(!xml.contains(u"PIANO DEI CONTI"_s));
        QVERIFY(!xml.contains(u"Circolo Prova"_s));
        QVERIFY(!xml.contains(u"Pagina"_s));
        QVERIFY(xml.indexOf(u"RICAVI"_s) < xml.indexOf(u"CONTI DI MEMORIA"_s));

        const QString html = folder.filePath(u"pdc.html"_s);
        QVERIFY(exportHtml(f.laidOut(ChartLayout::AlignedLeft, AllLevels), html, &error));
        QFile page(html);
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        QVERIFY(text.contains(u"PIANO DEI CONTI"_s));
        QVERIFY(text.contains(u"Liquidit"_s));
    }

    void windowRunsFromTheChooser()
    {
        Fixture f;
        ScriptedMessages messages;
        MainWindow main(f.environment);
        wireReportCommands(main, f.environment);
        QAction *stampa = nullptr;
        for (QAction *menu : main.menuBar()->actions())
            for (QAction *item : menu->menu() ? menu->menu()->actions() : QList<QAction *>())
                if (item->text() == u"Stampa"_s)
                    stampa = item;
        QVERIFY(stampa);
        const auto chooseChart = [] {
            QTimer::singleShot(0, [] {
                QWidget *chooser = QApplication::activeModalWidget();
                QVERIFY(chooser);
                QWidget *option = child<QWidget>(*chooser, u"optPrint1"_s);
                QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
                child<QPushButton>(*chooser, u"cmdOK"_s)->click();
            });
        };
        chooseChart();
        stampa->trigger();
        auto *window = main.findChild<ChartPrintoutWindow *>();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), u" Stampa il Piano dei Conti"_s);
        QVERIFY(!window->isModal());
        auto *layouts = child<QListWidget>(*window, u"lstTipo"_s);
        QCOMPARE(layouts->count(), 2);
        QCOMPARE(layouts->currentItem()->text(), u"Piano dei Conti (voci indentate)"_s);

        // Unchecking the last checked level checks it again.
        QCheckBox *levels[4];
        for (int index = 0; index < 4; ++index)
            levels[index] = child<QCheckBox>(*window, u"chkLivelli%1"_s.arg(index));
        for (int index : {0, 2, 3, 1})
            pressSpaceOn(levels[index]);
        QVERIFY(levels[1]->isChecked());
        QVERIFY(!levels[0]->isChecked() && !levels[2]->isChecked() && !levels[3]->isChecked());

        // The preview shows the pages.
        int previewPages = 0;
        QTimer::singleShot(0, [&previewPages] {
            if (auto *preview = qobject_cast<ReportPreview *>(QApplication::activeModalWidget())) {
                previewPages = preview->findChild<QPrintPreviewWidget *>()->pageCount();
                preview->close();
            }
        });
        child<QPushButton>(*window, u"cmdPreview"_s)->click();
        QCOMPARE(previewPages, 1);

        // A cancelled save dialog writes nothing and says nothing.
        const qsizetype shown = messages.shown.size();
        child<QAction>(*window, u"expExcel"_s)->trigger();
        QCOMPARE(messages.saveFilters.constLast(), u"Microsoft Excel (*.xlsx)"_s);
        QCOMPARE(messages.saveStarts.constLast(),
                 QDir(f.archive.folder()).filePath(u"documenti/Piano dei Conti.xlsx"_s));
        QVERIFY(documentsIn(f.archive).isEmpty());
        QCOMPARE(messages.shown.size(), shown + 1); // the save dialog's title only

        // The spreadsheet of "Mastro" alone: one line per ledger, no page heading.
        const QString sheet = QDir(f.archive.folder()).filePath(u"documenti/pdc.xlsx"_s);
        messages.files = {sheet};
        child<QAction>(*window, u"expExcel"_s)->trigger();
        const QString xml = sheetXml(sheet);
        QVERIFY(xml.contains(u"Debiti B"_s));
        QVERIFY(!xml.contains(u"Fornitori B"_s));
        QVERIFY(!xml.contains(u"PIANO DEI CONTI"_s));

        // The PDF of the layout aligned on the left keeps its heading; HTML has its own filter.
        QTest::keyClick(layouts, Qt::Key_Down);
        QCOMPARE(window->options(ReportOutput::Pdf).layout, ChartLayout::AlignedLeft);
        const QString pdf = QDir(f.archive.folder()).filePath(u"documenti/pdc.pdf"_s);
        messages.files = {pdf};
        child<QAction>(*window, u"expPdf"_s)->trigger();
        const QStringList pages = pdfPageTexts(pdf);
        QCOMPARE(pages.size(), 1);
        QVERIFY2(pages[0].startsWith(u"PIANO DEI CONTI Circolo Prova PATRIMONIO - ATTIVO 100 "
                                     u"Liquidità 110 Crediti"_s),
                 qPrintable(pages[0]));
        child<QAction>(*window, u"expHtml"_s)->trigger();
        QCOMPARE(messages.saveFilters.constLast(), u"Formato HTML (*.html)"_s);

        // The chooser brings back the same window.
        child<QPushButton>(*window, u"cmdCancel"_s)->click();
        QVERIFY(!window->isVisible());
        chooseChart();
        stampa->trigger();
        QCOMPARE(main.findChildren<ChartPrintoutWindow *>().size(), 1);
        QVERIFY(window->isVisible());
    }

    void commandLineWritesTheLayoutAsked()
    {
        Fixture f;
        QTemporaryDir folder;
        const auto run = [&](const QStringList &options) {
            QProcess process;
            process.start(binDir() + u"/tovrin3-cli"_s,
                          QStringList{u"report"_s, u"pdc"_s, u"--archive"_s, f.archive.folder()} +
                              options);
            process.waitForFinished(60000);
            return process.exitCode();
        };
        const QString pdf = folder.filePath(u"pdc.pdf"_s);
        QCOMPARE(run({u"--levels"_s, u"mastro"_s, u"--layout"_s, u"2"_s, u"--out"_s, pdf}), 0);
        const QStringList pages = pdfPageTexts(pdf);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].contains(u"PATRIMONIO - PASSIVO 200 Debiti A 200 Debiti B"_s));
        QVERIFY(!pages[0].contains(u"Fornitori"_s));

        const QString refused = folder.filePath(u"no.pdf"_s);
        QCOMPARE(run({u"--layout"_s, u"3"_s, u"--out"_s, refused}), 1);
        QCOMPARE(run({u"--levels"_s, u""_s, u"--out"_s, refused}), 1);
        QVERIFY(!QFile::exists(refused));
    }
};

QTEST_MAIN(TestChartPrintout)
#include "tst_chartprintout.moc"
