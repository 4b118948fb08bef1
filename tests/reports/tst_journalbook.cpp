#include "data/Database.h"
#include "reportengine/ReportExport.h"
#include "reports/JournalBook.h"
#include "support/TestArchive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// An archive with three sub-accounts and the organisation's data.
struct Book {
    TestArchive archive;
    qint64 cassa = 0, banca = 0, ricavi = 0;

    Book()
    {
        const qint64 assets = archive.addMastro(u"101"_s, u"Disponibilità"_s, 1);
        const qint64 revenues = archive.addMastro(u"401"_s, u"Ricavi"_s, 4);
        const qint64 liquid = archive.addConto(assets, u"101001"_s, u"Liquidità"_s);
        const qint64 sales = archive.addConto(revenues, u"401001"_s, u"Vendite"_s);
        cassa = archive.addSottoconto(liquid, u"Cassa"_s);
        banca = archive.addSottoconto(liquid, u"Banca c/c"_s);
        ricavi = archive.addSottoconto(sales, u"Ricavi da quote associative"_s);
        const QList<std::pair<QString, QString>> parameters = {
            {u"ana01"_s, u"Circolo Aurora APS"_s},
            {u"ana02"_s, u"Via Roma 1"_s},
            {u"ana03"_s, u"40100"_s},
            {u"ana04"_s, u"Bologna"_s},
            {u"ana05"_s, u"BO"_s},
            {u"ana06"_s, u"91000000000"_s},
            {u"ana07"_s, u"01234567890"_s}};
        for (const auto &[key, value] : parameters)
            setParameter(key, value);
    }

    void setParameter(const QString &key, const QString &value)
    {
        archive.exec(u"DELETE FROM parametri WHERE chiave = ?"_s, {key});
        archive.exec(u"INSERT INTO parametri (chiave, valore) VALUES (?, ?)"_s, {key, value});
    }

    // An entry moving cents from one sub-account to another.
    void move(const QDate &date, int number, qint64 debit, qint64 credit, qint64 cents,
              const QString &text)
    {
        archive.addEntry(date,
                         {{debit, QVariant(), Money::fromCents(cents), text},
                          {QVariant(), credit, Money::fromCents(cents), text}},
                         0, number);
    }

    JournalBookOptions options(const QDate &from, const QDate &to, int firstSheet = 1)
    {
        Connection connection(archive.archive(), Connection::Mode::ReadOnly);
        QString error;
        std::optional<JournalBookOptions> defaults =
            journalBookDefaults(connection.database(), from, &error);
        if (!defaults)
            qFatal("%s", qPrintable(error));
        defaults->dateFrom = from;
        defaults->dateTo = to;
        defaults->firstSheet = firstSheet;
        return *defaults;
    }

    ReportDocument laidOut(const JournalBookOptions &options)
    {
        Connection connection(archive.archive(), Connection::Mode::ReadOnly);
        ReportDocument document;
        QString error;
        if (!layOutJournalBook(connection.database(), options, &document, &error))
            qFatal("%s", qPrintable(error));
        return document;
    }
};

QString lineStarting(const QStringList &lines, const QString &start)
{
    for (const QString &line : lines)
        if (line.startsWith(start))
            return line;
    return {};
}

QString lineContaining(const QStringList &lines, const QString &text)
{
    for (const QString &line : lines)
        if (line.contains(text))
            return line;
    return {};
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run runProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class TestJournalBook : public QObject {
    Q_OBJECT

private slots:
    void theYearLabelIsThePeriodsFiscalYear()
    {
        QCOMPARE(periodYearLabel(QDate(2024, 1, 1), QDate(2024, 3, 31), 1), u"2024"_s);
        QCOMPARE(periodYearLabel(QDate(2024, 1, 1), QDate(2024, 3, 31), 7), u"2023-2024"_s);
        QCOMPARE(periodYearLabel(QDate(2024, 6, 1), QDate(2024, 7, 31), 7),
                 u"2023-2024 e 2024-2025"_s);
    }

    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void smallBookMatchesItsGoldenPage()
    {
        Book book;
        book.move(QDate(2024, 1, 10), 1, book.cassa, book.ricavi, 5000, u"Quota socio Rossi"_s);
        book.move(QDate(2024, 1, 10), 2, book.banca, book.ricavi, 123456,
                  u"Contributo del Comune per le attività culturali dell'anno in corso"_s);
        book.move(QDate(2024, 1, 5), 3, book.banca, book.cassa, 2000, u"Versamento"_s);
        const ReportDocument document =
            book.laidOut(book.options(QDate(2024, 1, 1), QDate(2024, 12, 31)));
        QCOMPARE(document.pageCount(), 1);

        const QString golden = QStringLiteral(TOVRIN_GOLDEN_DIR) + u"/journalbook_small.txt"_s;
        if (qEnvironmentVariableIsSet("TOVRIN_UPDATE_GOLDEN")) {
            QFile file(golden);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(document.toText(0).toUtf8());
        }
        QCOMPARE(document.toText(0), readText(golden));
    }

    void rowsComeInDateNumberAndRowOrderWithTheirCounter()
    {
        Book book;
        book.move(QDate(2024, 2, 1), 2, book.banca, book.ricavi, 300, u"Seconda"_s);
        book.move(QDate(2024, 2, 1), 1, book.cassa, book.ricavi, 100, u"Prima"_s);
        book.move(QDate(2024, 1, 31), 9, book.cassa, book.banca, 200, u"Gennaio"_s);
        book.move(QDate(2025, 1, 1), 1, book.cassa, book.banca, 200, u"Fuori periodo"_s);
        const ReportDocument document =
            book.laidOut(book.options(QDate(2024, 1, 1), QDate(2024, 12, 31)));
        const QStringList lines = document.textLines(0);
        const qsizetype first = lines.indexOf(lineStarting(lines, u"1 | "_s));
        QCOMPARE(lines.mid(first, 6),
                 (QStringList{
                     u"1 | 9 | 31/01/2024 | Cassa | 2,00 | - | Gennaio"_s,
                     u"2 | 9 | 31/01/2024 | Banca c/c | - | 2,00 | Gennaio"_s,
                     u"3 | 1 | 01/02/2024 | Cassa | 1,00 | - | Prima"_s,
                     u"4 | 1 | 01/02/2024 | Ricavi da quote associative | - | 1,00 | Prima"_s,
                     u"5 | 2 | 01/02/2024 | Banca c/c | 3,00 | - | Seconda"_s,
                     u"6 | 2 | 01/02/2024 | Ricavi da quote associative | - | 3,00 | Seconda"_s}));
        // One rule closes each entry, none parts the rows of one: two entries more, two rules.
        const auto rules = [&](const QDate &to) {
            return book.laidOut(book.options(QDate(2024, 1, 1), to)).pages[0].lines.size();
        };
        QCOMPARE(rules(QDate(2024, 12, 31)) - rules(QDate(2024, 1, 31)), size_t(2));
        JournalBookOptions coded = book.options(QDate(2024, 1, 1), QDate(2024, 1, 31));
        coded.showCodes = true;
        QCOMPARE(lineStarting(book.laidOut(coded).textLines(0), u"1 | "_s),
                 u"1 | 9 | 31/01/2024 | 101001 Cassa | 2,00 | - | Gennaio"_s);
        QCOMPARE(lineStarting(lines, u"Totale progressivi:"_s),
                 u"Totale progressivi: | 6,00 | 6,00"_s);
        // A second run counts from 1 again.
        QCOMPARE(book.laidOut(book.options(QDate(2024, 1, 1), QDate(2024, 12, 31))).textLines(0),
                 lines);
    }

    void sheetsCountFromTheGivenNumberAndTotalsRunOn()
    {
        Book book;
        for (int i = 1; i <= 70; ++i)
            book.move(QDate(2024, 3, 1).addDays(i / 5), i, book.cassa, book.ricavi, 100 * i,
                      u"Quota %1"_s.arg(i));
        const ReportDocument document =
            book.laidOut(book.options(QDate(2024, 1, 1), QDate(2024, 12, 31), 15));
        QCOMPARE(document.pageCount(), 3);
        for (int page = 0; page < 3; ++page) {
            const QStringList lines = document.textLines(page);
            QVERIFY(lineContaining(lines, u"Pagina nr.:"_s)
                        .endsWith(u"Pagina nr.: | %1 / 2024"_s.arg(page + 1)));
            QVERIFY(lineContaining(lines, u"Foglio nr.:"_s)
                        .endsWith(u"Foglio nr.: | %1"_s.arg(15 + page)));
        }
        // 61 lines fit a page: the second page starts at row 62 and its foot carries the sum
        // of rows 1-122 (entries 1-61).
        const QStringList second = document.textLines(1);
        QVERIFY(second.contains(lineStarting(second, u"62 | "_s)));
        QCOMPARE(lineStarting(second, u"Totale progressivi:"_s),
                 u"Totale progressivi: | 1.891,00 | 1.891,00"_s);
        QCOMPARE(lineStarting(document.textLines(2), u"Totale progressivi:"_s),
                 u"Totale progressivi: | 2.485,00 | 2.485,00"_s);
    }

    void emptyPeriodPrintsTheHeadingAndZeroTotals()
    {
        Book book;
        book.move(QDate(2024, 5, 1), 1, book.cassa, book.ricavi, 100, u"Maggio"_s);
        const ReportDocument document =
            book.laidOut(book.options(QDate(2024, 1, 1), QDate(2024, 1, 31)));
        QCOMPARE(document.pageCount(), 1);
        const QStringList lines = document.textLines(0);
        QVERIFY(lineContaining(lines, u"Ditta: | Circolo Aurora APS"_s).size() > 0);
        QVERIFY(lines.contains(u"Prog.vo | N.reg. | Data | Conto in Dare | Conto in Avere | Dare | "
                               u"Avere | Descrizione"_s));
        QCOMPARE(lines.last(), u"Totale progressivi: | - | -"_s);
        QVERIFY(document.pages[0].rows.empty());
    }

    void fiscalYearAcrossTwoCalendarYears()
    {
        QCOMPARE(journalYearLabel(QDate(2023, 7, 1), QDate(2024, 6, 30)), u"2023-2024"_s);
        QCOMPARE(journalYearLabel(QDate(2024, 1, 1), QDate(2024, 12, 31)), u"2024"_s);
        Book book;
        book.setParameter(u"StartMonth"_s, u"7"_s);
        Connection connection(book.archive.archive(), Connection::Mode::ReadOnly);
        QString error;
        const std::optional<JournalBookOptions> options =
            journalBookDefaults(connection.database(), QDate(2024, 3, 1), &error);
        QVERIFY2(options, qPrintable(error));
        QCOMPARE(options->dateFrom, QDate(2023, 7, 1));
        QCOMPARE(options->dateTo, QDate(2024, 6, 30));
        QCOMPARE(options->yearLabel, u"2023-2024"_s);
        QCOMPARE(options->organisation.townLine, u"40100 Bologna BO"_s);
        const ReportDocument document = book.laidOut(*options);
        QVERIFY(lineContaining(document.textLines(0), u"Pagina nr.:"_s)
                    .endsWith(u"Pagina nr.: | 1 / 2023-2024"_s));
        QVERIFY(document.textLines(0).contains(
            u"Partita IVA: | 01234567890 | dal 01/07/2023 al 30/06/2024"_s));
    }

    void pdfAndSpreadsheetCarryTheSamePages()
    {
        Book book;
        for (int i = 1; i <= 40; ++i)
            book.move(QDate(2024, 4, 1), i, book.banca, book.ricavi, 1050, u"Quota %1"_s.arg(i));
        const ReportDocument document =
            book.laidOut(book.options(QDate(2024, 1, 1), QDate(2024, 12, 31)));
        QCOMPARE(document.pageCount(), 2);
        QTemporaryDir dir;
        QString error;
        const QString pdf = dir.filePath(u"giornale.pdf"_s);
        QVERIFY2(exportPdf(document, pdf, &error), qPrintable(error));
        QVERIFY(
            runProgram(u"pdfinfo"_s, {pdf}).out.contains(QRegularExpression(u"Pages:\\s+2\\n"_s)));
        const QStringList pages = runProgram(u"pdftotext"_s, {pdf, u"-"_s}).out.split(u'\f');
        QVERIFY(pages[0].contains(u"Circolo Aurora APS"_s));
        QVERIFY(pages[1].contains(u"2 / 2024"_s));
        QVERIFY(pages[1].contains(u"420,00"_s));

        // Pages leave out the lines' typed cells, which only a spreadsheet takes.
        QVERIFY(document.pages[0].rows.empty());
        JournalBookOptions spreadsheet = book.options(QDate(2024, 1, 1), QDate(2024, 12, 31));
        spreadsheet.spreadsheet = true;
        const QString xlsx = dir.filePath(u"giornale.xlsx"_s);
        QVERIFY2(exportXlsx(book.laidOut(spreadsheet), xlsx, &error), qPrintable(error));
        const QString sheet =
            runProgram(u"unzip"_s, {u"-p"_s, xlsx, u"xl/worksheets/sheet1.xml"_s}).out;
        QCOMPARE(sheet.count(u"<row "_s), 81); // the captions, then one row per entry row
        QVERIFY(sheet.contains(u"<t>Conto in Avere</t>"_s));
        QCOMPARE(sheet.count(u"<v>10.5</v>"_s), 80);
        QVERIFY(sheet.contains(u"<v>45383</v>"_s)); // 1 April 2024
    }

    void commandLineWritesTheFileOfItsExtension()
    {
        Book book;
        book.move(QDate(2024, 6, 1), 1, book.cassa, book.ricavi, 2500, u"Quota"_s);
        const QString cli = binDir() + u"/tovrin3-cli"_s;
        QTemporaryDir dir;
        const QString html = dir.filePath(u"giornale.html"_s);
        Run run = runProgram(cli, {u"report"_s, u"giornale"_s, u"--archive"_s,
                                   book.archive.folder(), u"--date"_s, u"2024-06-01"_s,
                                   u"--sheet-from"_s, u"7"_s, u"--out"_s, html});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString text = readText(html);
        QVERIFY(text.contains(u">Quota<"_s));
        QVERIFY(text.contains(u">7<"_s));
        QVERIFY(text.contains(u">dal 01/01/2024 al 31/12/2024<"_s));

        run = runProgram(cli, {u"report"_s, u"giornale"_s, u"--archive"_s, book.archive.folder(),
                               u"--out"_s, dir.filePath(u"giornale.doc"_s)});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(u"Formato del file non riconosciuto"_s));
        run = runProgram(cli, {u"report"_s, u"giornale"_s, u"--archive"_s, book.archive.folder(),
                               u"--from"_s, u"31/12/2024"_s, u"--out"_s, html});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(u"Data non valida"_s));
        run = runProgram(cli, {u"report"_s, u"giornale"_s, u"--bogus"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(u"Uso: tovrin3-cli report giornale"_s));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"giornale.html"_s});
    }
};

QTEST_MAIN(TestJournalBook)
#include "tst_journalbook.moc"
