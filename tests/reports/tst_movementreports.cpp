#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "reportengine/ReportExport.h"
#include "reports/AccountCardsReport.h"
#include "reports/MovementList.h"
#include "reports/MovementReportsRun.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportSettings.h"
#include "support/DocumentText.h"
#include "support/GoldenText.h"
#include "support/PdfText.h"
#include "support/TestArchive.h"
#include "ui/PreviewDocument.h"
#include "ui/ReportPreview.h"
#include "ui/ReportProgressDialog.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// A small chart with two sub-accounts named "Varie" under different accounts.
struct Books {
    TestArchive archive;
    qint64 liquidita = 0, spese = 0;
    qint64 cassa = 0, banca = 0, ricavi = 0, varieCassa = 0, varieSpese = 0, affitti = 0;

    Books()
    {
        const qint64 assets = archive.addMastro(u"101"_s, u"Disponibilità"_s, 1);
        const qint64 costs = archive.addMastro(u"301"_s, u"Costi"_s, 3);
        const qint64 revenues = archive.addMastro(u"401"_s, u"Ricavi"_s, 4);
        liquidita = archive.addConto(assets, u"101001"_s, u"Liquidità"_s);
        spese = archive.addConto(costs, u"301001"_s, u"Spese generali"_s);
        const qint64 quote = archive.addConto(revenues, u"401001"_s, u"Quote"_s);
        cassa = archive.addSottoconto(liquidita, u"Cassa"_s);
        banca = archive.addSottoconto(liquidita, u"Banca"_s);
        varieCassa = archive.addSottoconto(liquidita, u"Varie"_s);
        varieSpese = archive.addSottoconto(spese, u"Varie"_s);
        affitti = archive.addSottoconto(spese, u"Affitti"_s);
        ricavi = archive.addSottoconto(quote, u"Quote associative"_s);
        archive.exec(
            u"INSERT INTO parametri (chiave, valore) VALUES ('ana01', 'Circolo Aurora')"_s);
    }

    static TestArchive::Row debit(qint64 account, qint64 cents, const QString &text)
    {
        return {account, QVariant(), Money::fromCents(cents), text};
    }
    static TestArchive::Row credit(qint64 account, qint64 cents, const QString &text)
    {
        return {QVariant(), account, Money::fromCents(cents), text};
    }
    // An entry of two rows moving cents from one sub-account to another.
    void move(const QDate &date, int number, qint64 to, qint64 from, qint64 cents,
              const QString &text)
    {
        archive.addEntry(date, {debit(to, cents, text), credit(from, cents, text)}, 0, number);
    }

    ReportDocument movements(const ReportSettings &settings,
                             QPageLayout::Orientation orientation = QPageLayout::Portrait)
    {
        return laidOut(layOutMovementList, settings, orientation);
    }
    ReportDocument cards(ReportSettings settings,
                         QPageLayout::Orientation orientation = QPageLayout::Portrait)
    {
        settings.source = accountCardsStatement(settings);
        return laidOut(layOutAccountCards, settings, orientation);
    }
    template <typename LayOut>
    ReportDocument laidOut(LayOut layOut, const ReportSettings &settings,
                           QPageLayout::Orientation orientation)
    {
        Connection connection(archive.archive(), Connection::Mode::ReadOnly);
        ReportDocument document;
        QString error;
        if (!layOut(connection.database(), settings, orientation, u"Circolo Aurora"_s, &document,
                    &error, {}))
            qFatal("%s", qPrintable(error));
        return document;
    }
};

ReportSettings year2024()
{
    ReportSettings settings;
    settings.dateFrom = QDate(2024, 1, 1);
    settings.dateTo = QDate(2024, 12, 31);
    return settings;
}

// The text lines of every page that carry an amount, in order.
QStringList amountLines(const ReportDocument &document)
{
    QStringList lines;
    for (int page = 0; page < document.pageCount(); ++page)
        for (const QString &line : document.textLines(page))
            if (line.contains(u',') && !line.startsWith(u"dal "_s))
                lines << line;
    return lines;
}

QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

QString sheetXml(const QString &xlsx)
{
    return run(u"unzip"_s, {u"-p"_s, xlsx, u"xl/worksheets/sheet1.xml"_s});
}

QString exported(const ReportDocument &document, ExportFormat format, const QString &path)
{
    QString error;
    if (!exportReport(document, format, path, &error))
        qFatal("%s", qPrintable(error));
    return path;
}

} // namespace

class TestMovementReports : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void movementListShowsEachEntryWithAllItsRowsAndItsDateOnce()
    {
        Books books;
        books.archive.addEntry(QDate(2024, 1, 10),
                               {Books::debit(books.cassa, 10000, u"Incasso"_s),
                                Books::credit(books.ricavi, 6000, u"Quota Rossi"_s),
                                Books::credit(books.varieCassa, 4000, u"Rimborso"_s)},
                               0, 1);
        books.move(QDate(2024, 2, 1), 2, books.affitti, books.banca, 50000, u"Affitto"_s);
        books.move(QDate(2025, 1, 3), 1, books.cassa, books.ricavi, 700, u"Fuori periodo"_s);
        ReportSettings settings = year2024();
        const ReportDocument all = books.movements(settings);
        QCOMPARE(amountLines(all), (QStringList{u"1 | 10/01/2024 | Cassa | 100,00 | Incasso"_s,
                                                u"Quote associative | 60,00 | Quota Rossi"_s,
                                                u"Varie | 40,00 | Rimborso"_s,
                                                u"2 | 01/02/2024 | Affitti | 500,00 | Affitto"_s,
                                                u"Banca | 500,00 | Affitto"_s}));
        const QStringList page = all.textLines(0);
        QCOMPARE(page.first(), u"Movimenti contabili | Circolo Aurora"_s);
        QVERIFY(page.contains(u"dal 01/01/2024 al 31/12/2024"_s));
        QVERIFY(page.contains(u"Prog.vo | Data | Conto in Dare | Conto in Avere | Importo | "
                              u"Descrizione"_s));
        QCOMPARE(page.last(), u"Pagina 1 di 1"_s);

        // An entry that touches the chosen sub-account comes with its other rows.
        settings.setFilter(FilterLevel::Sottoconto, {1, 0, 0}, {books.varieCassa, 0, 0});
        QCOMPARE(amountLines(books.movements(settings)), amountLines(all).mid(0, 3));
        QVERIFY(!movementListStatement(settings).sql.contains(QString::number(books.varieCassa)));

        settings.setFilter(FilterLevel::Conto, {1, 0, 0}, {books.spese, 0, 0});
        QCOMPARE(amountLines(books.movements(settings)), amountLines(all).mid(3, 2));

        // Accounts that no entry touches list nothing, not the whole period.
        const qint64 unused = books.archive.addSottoconto(books.spese, u"Cancelleria"_s);
        settings.setFilter(FilterLevel::Sottoconto, {1, 0, 0}, {unused, 0, 0});
        const ReportDocument none = books.movements(settings);
        QCOMPARE(none.pageCount(), 1);
        QVERIFY(none.pages[0].rows.empty());
        QVERIFY(amountLines(none).isEmpty());
    }

    void entriesOfOneNumberInTwoYearsStayApart()
    {
        Books books;
        books.move(QDate(2024, 1, 2), 1, books.cassa, books.ricavi, 100, u"Gennaio 2024"_s);
        books.move(QDate(2023, 12, 28), 1, books.banca, books.ricavi, 200, u"Dicembre 2023"_s);
        ReportSettings settings = year2024();
        settings.dateFrom = QDate(2023, 12, 1);
        QCOMPARE(amountLines(books.movements(settings, QPageLayout::Landscape)),
                 (QStringList{u"1 | 02/01/2024 | Cassa | 1,00 | Gennaio 2024"_s,
                              u"Quote associative | 1,00 | Gennaio 2024"_s,
                              u"1 | 28/12/2023 | Banca | 2,00 | Dicembre 2023"_s,
                              u"Quote associative | 2,00 | Dicembre 2023"_s}));
    }

    void movementSpreadsheetHasOneCaptionRowAndCompleteRows()
    {
        Books books;
        books.archive.addEntry(QDate(2024, 1, 10),
                               {Books::debit(books.cassa, 10000, u"Incasso"_s),
                                Books::credit(books.ricavi, 6000, u"Quota"_s),
                                Books::credit(books.varieCassa, 4000, u"Rimborso"_s)},
                               0, 7);
        ReportSettings settings = year2024();
        settings.output = ReportOutput::Excel;
        const ReportDocument document = books.movements(settings);
        QCOMPARE(document.pages[0].rows.size(), size_t(3));
        for (const SheetRow &row : document.pages[0].rows)
            QCOMPARE(row.cells.size(), size_t(6));

        QTemporaryDir dir;
        const QString sheet =
            sheetXml(exported(document, ExportFormat::Xlsx, dir.filePath(u"movimenti.xlsx"_s)));
        QCOMPARE(sheet.count(u"<row "_s), 4);
        QCOMPARE(sheet.count(u"<v>45301</v>"_s), 3); // 10 January 2024 on every row
        QCOMPARE(sheet.count(u"<v>7</v>"_s), 3);     // and the entry's number
        QVERIFY(sheet.contains(u"<t>Conto in Avere</t>"_s));
        QVERIFY(!sheet.contains(u"Movimenti contabili"_s));
        QVERIFY(!sheet.contains(u"Pagina"_s));
        QVERIFY(!sheet.contains(u"Circolo Aurora"_s));
    }

    void accountCardRunsItsBalanceAndTotalsIt()
    {
        Books books;
        books.move(QDate(2024, 3, 1), 1, books.cassa, books.ricavi, 10000, u"Versamento"_s);
        books.move(QDate(2024, 3, 5), 2, books.affitti, books.cassa, 3000, u"Affitto"_s);
        books.move(QDate(2024, 3, 9), 3, books.cassa, books.ricavi, 1000, u"Quota"_s);
        ReportSettings settings = year2024();
        settings.setFilter(FilterLevel::Sottoconto, {1, 0, 0}, {books.cassa, 0, 0});
        const ReportDocument document = books.cards(settings);
        QCOMPARE(
            amountLines(document),
            (QStringList{u"Cassa | 80,00"_s, u"1 | 01/03/2024 | 100,00 | - | 100,00 | Versamento"_s,
                         u"2 | 05/03/2024 | - | 30,00 | 70,00 | Affitto"_s,
                         u"3 | 09/03/2024 | 10,00 | - | 80,00 | Quota"_s,
                         u"Totale | 110,00 | 30,00 | 80,00"_s}));
        const QStringList page = document.textLines(0);
        QCOMPARE(page.first(), u"Schede contabili | Circolo Aurora"_s);
        QVERIFY(page.contains(u"Pagina: | 1"_s));
        QVERIFY(page.contains(u"Prog.vo | Data | Dare | Avere | Saldo prog. | Descrizione"_s));
        QCOMPARE(document.toc.size(), size_t(1));
        QCOMPARE(document.toc[0].text, u"Cassa"_s);

        // The landscape card adds the counter-account; a card at zero shows ",00" on its header.
        books.move(QDate(2024, 4, 1), 4, books.banca, books.cassa, 8000, u"Giroconto"_s);
        const QStringList wide = amountLines(books.cards(settings, QPageLayout::Landscape));
        QCOMPARE(wide.first(), u"Cassa | 0,00"_s);
        QVERIFY(wide.contains(u"4 | 01/04/2024 | - | 80,00 | 0,00 | Banca | Giroconto"_s));
    }

    void sameNamedSubAccountsKeepTheirOwnCards()
    {
        Books books;
        books.move(QDate(2024, 5, 1), 1, books.varieCassa, books.ricavi, 2500, u"Fondo"_s);
        books.move(QDate(2024, 5, 2), 2, books.varieSpese, books.banca, 400, u"Spesa"_s);
        books.move(QDate(2024, 5, 3), 3, books.varieCassa, books.ricavi, 100, u"Fondo bis"_s);
        const ReportDocument document = books.cards(year2024());
        QString difference;
        QVERIFY2(matchesGolden(u"account_cards.txt"_s, documentText(document), &difference),
                 qPrintable(difference));
        QStringList cards;
        for (const TocEntry &entry : document.toc)
            cards << entry.text;
        QCOMPARE(cards, (QStringList{u"Banca"_s, u"Quote associative"_s, u"Varie (101001)"_s,
                                     u"Varie (301001)"_s}));
        const QStringList lines = amountLines(document);
        const qsizetype first = lines.indexOf(u"Varie (101001) | 26,00"_s);
        QVERIFY(first >= 0);
        QCOMPARE(lines.mid(first, 5),
                 (QStringList{u"Varie (101001) | 26,00"_s,
                              u"1 | 01/05/2024 | 25,00 | - | 25,00 | Fondo"_s,
                              u"3 | 03/05/2024 | 1,00 | - | 26,00 | Fondo bis"_s,
                              u"Totale | 26,00 | - | 26,00"_s, u"Varie (301001) | -4,00"_s}));

        // The spreadsheet names each row's card in its first column, under one caption row.
        ReportSettings settings = year2024();
        settings.output = ReportOutput::Excel;
        const ReportDocument sheetForm = books.cards(settings, QPageLayout::Landscape);
        QTemporaryDir dir;
        const QString sheet =
            sheetXml(exported(sheetForm, ExportFormat::Xlsx, dir.filePath(u"schede.xlsx"_s)));
        QCOMPARE(sheet.count(u"<row "_s), 7);
        QVERIFY(sheet.contains(u"<t>Contropartita</t>"_s));
        QCOMPARE(sheet.count(u"<t>Varie (101001)</t>"_s), 2);
        QVERIFY(!sheet.contains(u"Schede contabili"_s));
        QVERIFY(!sheet.contains(u"Totale"_s));
    }

    void optionsWindowLayoutsPreviewTheCardsWithTheirContents()
    {
        Books books;
        books.move(QDate(2024, 6, 1), 1, books.cassa, books.ricavi, 2500, u"Quota"_s);
        FiscalEnvironment environment(books.archive);
        environment.setWorkingDate(QDate(2024, 6, 1));
        QVERIFY(environment.refresh());
        auto laidOut = [&](int code) {
            ReportSettings settings = year2024();
            settings.output = ReportOutput::Preview;
            settings.source = accountCardsStatement(settings);
            ReportProgressDialog progress(nullptr, u"Preparazione"_s);
            QString error;
            std::unique_ptr<PreviewDocument> document =
                movementReportLayout(code, environment)(settings, progress, &error);
            if (!document)
                qFatal("%s", qPrintable(error));
            return document;
        };
        const std::unique_ptr<PreviewDocument> cards = laidOut(ReportCode::SchedeOrizzontale);
        QCOMPARE(cards->pageLayout().orientation(), QPageLayout::Landscape);
        ReportPreview preview(*cards);
        const auto *contents = preview.findChild<QTreeWidget *>(u"tvContenuto"_s);
        QVERIFY(contents && !contents->isHidden());
        QCOMPARE(contents->headerItem()->text(0), u"Contenuto"_s);
        QCOMPARE(contents->topLevelItemCount(), 2);
        QCOMPARE(contents->topLevelItem(0)->text(0), u"Cassa"_s);

        const std::unique_ptr<PreviewDocument> list = laidOut(ReportCode::MovimentiVerticale);
        QCOMPARE(list->pageLayout().orientation(), QPageLayout::Portrait);
        QVERIFY(list->contents().isEmpty());
    }

    void commandLineWritesTheFourReports()
    {
        Books books;
        books.move(QDate(2024, 6, 1), 1, books.cassa, books.ricavi, 2500, u"Quota Bianchi"_s);
        books.move(QDate(2024, 6, 2), 2, books.affitti, books.banca, 900, u"Affitto giugno"_s);
        const QString cli = binDir() + u"/tovrin3-cli"_s;
        QTemporaryDir dir;
        const QStringList common{u"--archive"_s, books.archive.folder(), u"--date"_s,
                                 u"2024-06-01"_s};
        int exitCode = -1;
        const QString cards = dir.filePath(u"schede.pdf"_s);
        QString output =
            run(cli,
                QStringList{u"report"_s, u"schede-orizzontale"_s} + common +
                    QStringList{u"--subaccount"_s, QString::number(books.cassa), u"--subaccount"_s,
                                QString::number(books.banca), u"--out"_s, cards},
                &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(output));
        const QStringList pages = pdfPageTexts(cards);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].contains(u"Schede contabili"_s));
        QVERIFY(pages[0].contains(u"Banca -9,00"_s));
        QVERIFY(pages[0].contains(u"Cassa 25,00"_s));
        QVERIFY(!pages[0].contains(u"Quote associative 25,00"_s));

        const QString list = dir.filePath(u"movimenti.html"_s);
        output =
            run(cli,
                QStringList{u"report"_s, u"movimenti"_s} + common +
                    QStringList{u"--account"_s, QString::number(books.spese), u"--out"_s, list},
                &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(output));
        QFile html(list);
        QVERIFY(html.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(html.readAll());
        QVERIFY(text.contains(u">Affitto giugno<"_s));
        QVERIFY(!text.contains(u">Quota Bianchi<"_s));

        output = run(cli,
                     QStringList{u"report"_s, u"movimenti-orizzontale"_s} + common +
                         QStringList{u"--subaccount"_s, u"x"_s, u"--out"_s, list},
                     &exitCode);
        QCOMPARE(exitCode, 1);
        QVERIFY(output.contains(u"Identificativo non valido per --subaccount"_s));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 (QStringList{u"movimenti.html"_s, u"schede.pdf"_s}));
    }
};

QTEST_MAIN(TestMovementReports)
#include "tst_movementreports.moc"
