#include "data/Money.h"
#include "reportengine/PagePainter.h"
#include "reportengine/ReportExport.h"
#include "reportengine/ReportLayout.h"
#include "reportengine/TextMeasure.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QLocale Italian(QLocale::Italian, QLocale::Italy);
constexpr Qt::Alignment Right = Qt::AlignRight | Qt::AlignVCenter;

QVariant money(qint64 cents)
{
    return QVariant::fromValue(Money::fromCents(cents));
}

std::vector<RowColumn> cardColumns()
{
    return {{u"conto"_s, ColumnKind::Text},
            {u"data"_s, ColumnKind::Date},
            {u"importo"_s, ColumnKind::Money}};
}

// Rows of account cards: (account, day of January 2024, amount in cents).
MemoryRowSource cardRows(const QList<std::tuple<QString, int, qint64>> &rows)
{
    std::vector<QVariantList> values;
    for (const auto &[account, day, cents] : rows)
        values.push_back({account, QDate(2024, 1, day), money(cents)});
    return MemoryRowSource(cardColumns(), std::move(values));
}

// A small page whose body holds exactly `rows` detail lines of 10 points.
ReportDefinition smallPages(int rows)
{
    ReportDefinition definition;
    definition.title = u"Prova"_s;
    definition.pageHeader.height = 20;
    definition.pageHeader.items = {ReportItem::label(u"Intestazione"_s, QRectF(0, 0, 200, 20))};
    definition.pageFooter.height = 20;
    const double body = definition.page.sizePoints().height() - definition.page.margins.top() -
                        definition.page.margins.bottom() - 40;
    definition.pageHeader.height += body - rows * 10.0;
    definition.detail.height = 10;
    definition.detail.items = {ReportItem::field(u"conto"_s, QRectF(0, 0, 100, 10)),
                               ReportItem::field(u"importo"_s, QRectF(100, 0, 80, 10), {}, Right)};
    return definition;
}

ReportDocument laidOut(const ReportDefinition &definition, RowSource &&rows)
{
    ReportDocument document;
    QString error;
    if (!layOutReport(definition, rows, Italian, &document, &error))
        qWarning("%s", qPrintable(error));
    return document;
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestReportEngine : public QObject {
    Q_OBJECT

private slots:
    // The last line of each entry is marked by reading one line ahead: a run of one, a run at
    // the end, and no rows at all.
    void marksTheLastRowOfEachRun()
    {
        std::vector<QVariantList> rows;
        for (const int entry : {7, 7, 8, 9, 9, 9})
            rows.push_back({entry, u"riga"_s});
        RunEndRowSource marked(std::make_unique<MemoryRowSource>(
                                   std::vector<RowColumn>{{u"idReg"_s, ColumnKind::Integer},
                                                          {u"testo"_s, ColumnKind::Text}},
                                   std::move(rows)),
                               u"idReg"_s, u"ultimaRiga"_s);
        QCOMPARE(marked.columns().back().name, u"ultimaRiga"_s);
        QList<int> ends;
        QVariantList row;
        while (marked.next(&row)) {
            QCOMPARE(row.size(), 3);
            ends.append(row.at(2).toInt());
        }
        QCOMPARE(ends, (QList<int>{0, 1, 1, 0, 0, 1}));
        RunEndRowSource none(std::make_unique<MemoryRowSource>(
                                 std::vector<RowColumn>{{u"idReg"_s, ColumnKind::Integer}},
                                 std::vector<QVariantList>{}),
                             u"idReg"_s, u"ultimaRiga"_s);
        QVERIFY(!none.next(&row));
    }

    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void reportFontIsFoundWithoutADisplay()
    {
        QCOMPARE(QFontInfo(qtFont(ReportFont{})).family(), defaultReportFamily());
    }

    void measuresLatinTextsAsTheShaperDoes()
    {
        // The measure adds up letters where it can; the shaper, with its ligatures, is the
        // judge. Every pair of Latin letters, and every short mix of those that join.
        QStringList texts;
        for (char16_t a = 0x20; a < 0x180; ++a)
            for (char16_t b = 0x20; b < 0x180; ++b)
                texts << QString(QChar(a)) + QChar(b);
        const QString joining = u"fil a"_s;
        for (int n = 0; n < 625; ++n)
            texts << QString(joining[n % 5]) + joining[n / 5 % 5] + joining[n / 25 % 5] +
                         joining[n / 125];
        texts << u"Affitto uffici fiera, bonifico flussi: ffiffl œﬁ e\u00ADsempio"_s;
        QImage device(1, 1, QImage::Format_RGB32);
        device.setDotsPerMeterX(qRound(1200 / 0.0254));
        device.setDotsPerMeterY(qRound(1200 / 0.0254));
        for (const ReportFont &font :
             {ReportFont{{}, 7.0, false, false}, ReportFont{{}, 8.0, true, false},
              ReportFont{{}, 9.0, false, true}}) {
            TextMeasure measure;
            const int index = measure.fontIndex(font);
            const QFontMetricsF shaper(qtFont(font), &device);
            for (const QString &text : std::as_const(texts))
                QVERIFY2(measure.width(index, text) ==
                             shaper.horizontalAdvance(text) / (1200.0 / 72.0),
                         qPrintable(text));
        }
    }

    void groupHeaderShowsTotalsFromTheFirstPass()
    {
        ReportDefinition definition = smallPages(50);
        ReportGroup group;
        group.column = u"conto"_s;
        group.header.height = 12;
        group.header.items = {ReportItem::field(u"conto"_s, QRectF(0, 0, 100, 12)),
                              ReportItem::sum({Summary::Kind::GroupTotal, u"importo"_s, 0},
                                              QRectF(100, 0, 80, 12), u"#,##0.00"_s)};
        group.footer.height = 12;
        group.footer.items = {ReportItem::label(u"Totale"_s, QRectF(0, 0, 100, 12)),
                              ReportItem::sum({Summary::Kind::GroupTotal, u"importo"_s, 0},
                                              QRectF(100, 0, 80, 12), u"#,##0.00"_s)};
        definition.groups.push_back(group);
        definition.reportHeader.height = 12;
        definition.reportHeader.items = {ReportItem::sum(
            {Summary::Kind::ReportTotal, u"importo"_s, 0}, QRectF(100, 0, 80, 12), u"#,##0.00"_s)};

        const ReportDocument document =
            laidOut(definition,
                    cardRows({{u"Banca"_s, 1, 1000}, {u"Banca"_s, 2, 2050}, {u"Cassa"_s, 3, 500}}));
        QCOMPARE(document.textLines(0),
                 (QStringList{u"Intestazione"_s, u"35,50"_s, u"Banca | 30,50"_s, u"Banca | 10,00"_s,
                              u"Banca | 20,50"_s, u"Totale | 30,50"_s, u"Cassa | 5,00"_s,
                              u"Cassa | 5,00"_s, u"Totale | 5,00"_s}));
    }

    void pageTotalsRunningSumsAndPageCountAtEveryFoot()
    {
        ReportDefinition definition = smallPages(4);
        ReportItem pages = ReportItem::computed(
            [](const ItemContext &context) {
                return QVariant(
                    u"Pagina %1 di %2"_s.arg(context.pageNumber()).arg(context.pageCount()));
            },
            QRectF(0, 0, 100, 10));
        pages.needsPageCount = true;
        definition.pageFooter.items = {pages,
                                       ReportItem::sum({Summary::Kind::PageTotal, u"importo"_s, 0},
                                                       QRectF(100, 0, 80, 10), u"#,##0.00"_s),
                                       ReportItem::sum({Summary::Kind::Running, u"importo"_s, 0},
                                                       QRectF(200, 0, 80, 10), u"#,##0.00"_s)};
        QList<std::tuple<QString, int, qint64>> rows;
        for (int day = 1; day <= 10; ++day)
            rows.append({u"Cassa"_s, day, 100 * day});
        const ReportDocument document = laidOut(definition, cardRows(rows));

        QCOMPARE(document.pageCount(), 3);
        QCOMPARE(document.textLines(0).last(), u"Pagina 1 di 3 | 10,00 | 10,00"_s);
        QCOMPARE(document.textLines(1).last(), u"Pagina 2 di 3 | 26,00 | 36,00"_s);
        QCOMPARE(document.textLines(2).last(), u"Pagina 3 di 3 | 19,00 | 55,00"_s);
        QCOMPARE(document.textLines(2).size(), 4); // header, two rows, footer
    }

    void groupRunningSumStartsAgainWithEachGroup()
    {
        ReportDefinition definition = smallPages(50);
        ReportGroup group;
        group.column = u"conto"_s;
        definition.groups.push_back(group);
        definition.detail.items.push_back(ReportItem::sum(
            {Summary::Kind::GroupRunning, u"importo"_s, 0}, QRectF(200, 0, 80, 10), u"#,##0.00"_s));
        const ReportDocument document = laidOut(definition, cardRows({{u"Banca"_s, 1, 10000},
                                                                      {u"Banca"_s, 2, -3000},
                                                                      {u"Banca"_s, 3, 1000},
                                                                      {u"Cassa"_s, 4, 700}}));
        QCOMPARE(document.textLines(0).mid(1),
                 (QStringList{u"Banca | 100,00 | 100,00"_s, u"Banca | -30,00 | 70,00"_s,
                              u"Banca | 10,00 | 80,00"_s, u"Cassa | 7,00 | 7,00"_s}));
    }

    void tableOfContentsHasOneEntryPerGroupWithItsPage()
    {
        ReportDefinition definition = smallPages(3);
        ReportGroup group;
        group.column = u"conto"_s;
        group.header.height = 10;
        group.header.items = {ReportItem::field(u"conto"_s, QRectF(0, 0, 100, 10))};
        group.tocText = [](const RowView &row) { return row.value(u"conto"_s).toString(); };
        definition.groups.push_back(group);
        const ReportDocument document =
            laidOut(definition,
                    cardRows({{u"Banca"_s, 1, 100}, {u"Banca"_s, 2, 100}, {u"Cassa"_s, 3, 100}}));
        QCOMPARE(document.toc.size(), size_t(2));
        QCOMPARE(document.toc[0].text, u"Banca"_s);
        QCOMPARE(document.toc[0].page, 0);
        QCOMPARE(document.toc[1].text, u"Cassa"_s);
        QCOMPARE(document.toc[1].page, 1); // the group header did not fit after three lines
    }

    void formatCallbackHidesAndMovesButSumsCountHiddenRows()
    {
        ReportDefinition definition = smallPages(50);
        definition.detail.items[1].name = u"importo"_s;
        definition.detail.onFormat = [](const ItemContext &context,
                                        const std::vector<ReportItem> &items, BandFormat &format) {
            const Money amount = context.row()->value(u"importo"_s).value<Money>();
            format.visible = !amount.isZero();
            if (amount.isNegative())
                format.item(items, u"importo"_s)->left = 300.0;
        };
        definition.reportFooter.height = 10;
        definition.reportFooter.items = {ReportItem::sum(
            {Summary::Kind::ReportTotal, u"importo"_s, 0}, QRectF(100, 0, 80, 10), u"0.00"_s)};
        ReportGroup group;
        group.column = u"conto"_s;
        group.header.height = 10;
        group.header.items = {ReportItem::field(u"conto"_s, QRectF(0, 0, 100, 10))};
        group.header.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &,
                                   BandFormat &format) {
            format.visible = !context.row()->value(u"conto"_s).toString().isEmpty();
        };
        definition.groups.push_back(group);

        const ReportDocument document = laidOut(
            definition, cardRows({{QString(), 1, 0}, {u"Cassa"_s, 2, -200}, {u"Cassa"_s, 3, 0}}));
        QCOMPARE(document.textLines(0),
                 (QStringList{u"Intestazione"_s, u"Cassa"_s, u"Cassa | -2,00"_s, u"-2,00"_s}));
        const TextRuns &texts = document.pages[0].texts;
        const auto moved = std::find_if(texts.begin(), texts.end(), [&](const TextRun &run) {
            return texts.text(run) == u"-2,00"_s && run.box.y() < 700;
        });
        QVERIFY(moved != document.pages[0].texts.end());
        QCOMPARE(moved->box.x(), 300.0);
        QCOMPARE(document.pages[0].rows.size(), size_t(1)); // hidden lines make no sheet row
    }

    void subReportsStandSideBySideAndContinueOnTheNextPage()
    {
        auto section = std::make_shared<ReportDefinition>();
        section->detail.height = 10;
        section->detail.items = {ReportItem::field(u"conto"_s, QRectF(0, 0, 100, 10))};
        section->reportFooter.height = 10;
        ReportItem total = ReportItem::sum({Summary::Kind::ReportTotal, u"importo"_s, 0},
                                           QRectF(0, 0, 100, 10), u"0.00"_s);
        total.name = u"totale"_s;
        section->reportFooter.items = {total};
        auto rowsOf = [&section](int count, qint64 cents) {
            auto report = std::make_shared<SubReport>();
            report->definition = section;
            report->rows = [count, cents]() -> std::unique_ptr<RowSource> {
                std::vector<QVariantList> rows;
                for (int i = 1; i <= count; ++i)
                    rows.push_back({u"Riga %1"_s.arg(i), QDate(2024, 1, 1), money(cents)});
                return std::make_unique<MemoryRowSource>(cardColumns(), std::move(rows));
            };
            return report;
        };

        ReportDefinition definition = smallPages(5);
        definition.detail = Band();
        definition.reportHeader.height = 10;
        ReportItem left = ReportItem::subReportAt(rowsOf(7, 100), QRectF(0, 0, 200, 10));
        left.name = u"sinistra"_s;
        ReportItem right = ReportItem::subReportAt(rowsOf(2, 250), QRectF(250, 0, 200, 10));
        right.name = u"destra"_s;
        definition.reportHeader.items = {left, right};
        definition.reportFooter.height = 10;
        definition.reportFooter.items = {ReportItem::computed(
            [](const ItemContext &context) {
                return QVariant(context.namedValue(u"sinistra.totale"_s).value<Money>() -
                                            context.namedValue(u"destra.totale"_s).value<Money>() ==
                                        Money::fromCents(200)
                                    ? u"differenza 2,00"_s
                                    : u"differenza sbagliata"_s);
            },
            QRectF(0, 0, 200, 10))};

        const ReportDocument document = laidOut(definition, MemoryRowSource(cardColumns(), {}));
        QCOMPARE(document.pageCount(), 2);
        QCOMPARE(document.textLines(0),
                 (QStringList{u"Intestazione"_s, u"Riga 1 | Riga 1"_s, u"Riga 2 | Riga 2"_s,
                              u"Riga 3 | 5,00"_s, u"Riga 4"_s, u"Riga 5"_s}));
        QCOMPARE(document.textLines(1), (QStringList{u"Intestazione"_s, u"Riga 6"_s, u"Riga 7"_s,
                                                     u"7,00"_s, u"differenza 2,00"_s}));
        for (const TextRun &run : document.pages[1].texts)
            if (document.pages[1].texts.text(run).startsWith(u"Riga"_s))
                QCOMPARE(run.box.x(), 0.0); // the left column
    }

    void growingTextWrapsAndPushesTheRuleDown()
    {
        ReportDefinition definition = smallPages(50);
        definition.detail.items[0].canGrow = true;
        definition.detail.items[0].rect.setWidth(40);
        definition.detail.items.push_back(ReportItem::rule(0, 10, 180));
        const ReportDocument document = laidOut(
            definition,
            cardRows({{u"Cassa contanti della sede centrale"_s, 1, 100}, {u"Banca"_s, 2, 100}}));
        const ReportPage &page = document.pages[0];
        QVERIFY(page.texts.size() > 5);
        QCOMPARE(page.lines.size(), size_t(2));
        QVERIFY(page.lines[0].line.y1() > page.texts[3].box.y());
        QCOMPARE(page.lines[1].line.y1() - page.lines[0].line.y1(), 10.0);
        QCOMPARE(page.rows[0].cells[0].text, u"Cassa contanti della sede centrale"_s);
    }

    // An amount too long for its box is drawn whole in a smaller size of its font, never cut
    // with an ellipsis as a text is; an amount that fits keeps the font.
    void amountsAreNeverCutShort()
    {
        ReportDefinition definition = smallPages(50);
        definition.detail.items[0].rect.setWidth(20);
        definition.detail.items[1].rect.setWidth(30);
        const ReportDocument document = laidOut(
            definition, cardRows({{u"Cassa contanti"_s, 1, 1234567890123}, {u"Banca"_s, 2, 100}}));
        const TextRuns &texts = document.pages[0].texts;
        QStringList shown;
        for (const TextRun &run : texts)
            shown << texts.text(run).toString();
        // A text is cut: "Ca…".
        const qsizetype cassa = shown.indexOf(u"Ca…"_s), longAmount = cassa + 1,
                        shortAmount = cassa + 3;
        QVERIFY2(cassa >= 0, qPrintable(shown.join(u'|')));
        QCOMPARE(shown.at(longAmount), u"12.345.678.901,23"_s);
        const ReportFont &shrunk = document.fonts.at(texts[size_t(longAmount)].font);
        QVERIFY(shrunk.pointSize < document.fonts.at(texts[size_t(cassa)].font).pointSize);
        TextMeasure measure;
        QVERIFY(measure.width(measure.fontIndex(shrunk), shown.at(longAmount)) <= 30.0);
        QCOMPARE(shown.at(shortAmount), u"1,00"_s);
        QCOMPARE(texts[size_t(shortAmount)].font, texts[size_t(cassa)].font);
    }

    void cancellingLeavesNoPages()
    {
        QList<std::tuple<QString, int, qint64>> rows;
        for (int i = 0; i < 2000; ++i)
            rows.append({u"Cassa"_s, 1 + i % 28, 100});
        MemoryRowSource source = cardRows(rows);
        ReportDocument document;
        QString error;
        ReportLayout layout(smallPages(10), Italian);
        int calls = 0;
        layout.setProgress([&calls](const LayoutProgress &progress) {
            ++calls;
            return progress.rows < 1000;
        });
        QVERIFY(!layout.run(source, &document, &error));
        QVERIFY(layout.wasCancelled());
        QCOMPARE(calls, 2);
        QCOMPARE(document.pageCount(), 0);
        QCOMPARE(error, u"Preparazione del report annullata."_s);
    }

    void sqlRowsAreConvertedAndFailuresReported()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"righe"_s);
        db.setDatabaseName(u":memory:"_s);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(u"CREATE TABLE t (conto TEXT, data TEXT, importo INTEGER)"_s));
        QVERIFY(query.exec(u"INSERT INTO t VALUES ('Cassa', '2024-02-29', 1234500)"_s));
        QVERIFY(query.exec(u"INSERT INTO t VALUES ('Banca', '2024-03-01', 5)"_s));
        {
            SqlRowSource source(db, u"SELECT conto, data, importo FROM t WHERE conto = ?"_s,
                                {u"Cassa"_s}, cardColumns());
            QVariantList values;
            QVERIFY(source.next(&values));
            QCOMPARE(values[1].toDate(), QDate(2024, 2, 29));
            QCOMPARE(values[2].value<Money>(), Money::fromCents(12345));
            QVERIFY(!source.next(&values));
            QVERIFY(source.errorText().isEmpty());
        }
        SqlRowSource broken(db, u"SELECT conto FROM missing"_s, {}, cardColumns());
        ReportDocument document;
        QString error;
        QVERIFY(!layOutReport(smallPages(5), broken, Italian, &document, &error));
        QVERIFY(error.startsWith(u"Preparazione del report non riuscita: "_s));
        QVERIFY(error.contains(u"missing"_s));
    }

    void spreadsheetFormatsQuoteLiterals_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        // Every amount shows its integer digit: 0,35 never reads ",35".
        QTest::newRow("zero as dash") << u"#,#.00;-#,#.00;-"_s << u"#,##0.00;\\-#,##0.00;\\-"_s;
        QTest::newRow("escaped brackets") << u" \\[+#,#.00\\]; \\[-#,#.00\\]; "_s
                                          << u"\\ \\[\\+#,##0.00\\];\\ \\[\\-#,##0.00\\];\\ "_s;
        QTest::newRow("quoted text") << u"0 \"EUR\""_s << u"0\\ \"EUR\""_s;
        QTest::newRow("zero section") << u"#,#.00;-#,#.00;.00"_s << u"#,##0.00;\\-#,##0.00;0.00"_s;
        QTest::newRow("already whole") << u"#,##0.00"_s << u"#,##0.00"_s;
    }
    void spreadsheetFormatsQuoteLiterals()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        QCOMPARE(spreadsheetNumberFormat(pattern), expected);
    }

    void exportsOpenAgainWithTheirContents()
    {
        ReportDefinition definition = smallPages(2);
        definition.detail.items.push_back(
            ReportItem::field(u"data"_s, QRectF(200, 0, 60, 10), u"dd/mm/yyyy"_s));
        definition.detail.items[1].pattern = u"#,#.00;-#,#.00;-"_s;
        const ReportDocument document = laidOut(
            definition,
            cardRows({{u"<è> & {più}\\"_s, 5, 123456}, {u"Banca"_s, 6, 0}, {u"Cassa"_s, 7, -50}}));
        QCOMPARE(document.pageCount(), 2);
        QTemporaryDir dir;
        QString error;

        const QString pdf = dir.filePath(u"prova.pdf"_s);
        QVERIFY2(exportPdf(document, pdf, &error), qPrintable(error));
        QVERIFY(run(u"pdfinfo"_s, {pdf}).contains(QRegularExpression(u"Pages:\\s+2\\n"_s)));
        QVERIFY(run(u"pdffonts"_s, {pdf})
                    .contains(
                        QRegularExpression(u"DejaVuSans\\s.*Identity-H\\s+yes\\s"_s))); // embedded
        const QString text = run(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s});
        QVERIFY2(text.contains(u"<è> & {più}\\"_s), qPrintable(text));
        QVERIFY(text.contains(u"1.234,56"_s));
        QVERIFY(text.contains(u"07/01/2024"_s));

        const QString xlsx = dir.filePath(u"prova.xlsx"_s);
        QVERIFY2(exportXlsx(document, xlsx, &error), qPrintable(error));
        const QString sheet = run(u"unzip"_s, {u"-p"_s, xlsx, u"xl/worksheets/sheet1.xml"_s});
        QCOMPARE(sheet.count(u"<row "_s), 3);
        QVERIFY2(sheet.contains(u"<v>1234.56</v>"_s), qPrintable(sheet));
        QVERIFY(sheet.contains(u"<v>-0.5</v>"_s));
        QVERIFY(sheet.contains(u"<v>45296</v>"_s)); // 5 January 2024 as a date serial
        QVERIFY(sheet.contains(u"&lt;\u00e8&gt; &amp; {pi\u00f9}\\"_s));
        const QString styles = run(u"unzip"_s, {u"-p"_s, xlsx, u"xl/styles.xml"_s});
        QVERIFY(styles.contains(u"formatCode=\"#,##0.00;\\-#,##0.00;\\-\""_s));
        QVERIFY(styles.contains(u"formatCode=\"dd/mm/yyyy\""_s));

        const QString html = dir.filePath(u"prova.html"_s);
        QVERIFY2(exportHtml(document, html, &error), qPrintable(error));
        QFile htmlFile(html);
        QVERIFY(htmlFile.open(QIODevice::ReadOnly));
        const QString htmlText = QString::fromUtf8(htmlFile.readAll());
        QVERIFY(htmlText.contains(u">&lt;è&gt; &amp; {più}\\</span>"_s));
        QCOMPARE(htmlText.count(u"class=\"page\""_s), 2);

        const QString rtf = dir.filePath(u"prova.rtf"_s);
        QVERIFY2(exportRtf(document, rtf, &error), qPrintable(error));
        QFile rtfFile(rtf);
        QVERIFY(rtfFile.open(QIODevice::ReadOnly));
        const QByteArray rtfText = rtfFile.readAll();
        QVERIFY(rtfText.contains(" <\\u232?> & \\{pi\\u249?\\}\\\\\\par}"));
        QCOMPARE(rtfText.count("\\page"), 1);
    }

    void landscapePagesKeepTheirSizeInPdf()
    {
        ReportDefinition definition = smallPages(2);
        definition.page.orientation = QPageLayout::Landscape;
        QCOMPARE(definition.page.sizePoints().toSize(), QSize(842, 595));
        const ReportDocument document = laidOut(definition, cardRows({{u"Cassa"_s, 1, 100}}));
        QTemporaryDir dir;
        QString error;
        const QString pdf = dir.filePath(u"orizzontale.pdf"_s);
        QVERIFY2(exportPdf(document, pdf, &error), qPrintable(error));
        QVERIFY(run(u"pdfinfo"_s, {pdf}).contains(u"842 x 595 pts"_s));
    }

    // The PDF writer places every glyph where the painter does: its text reads, to the column,
    // as that of the same pages painted into Qt's own PDF, with ligatures, right-aligned
    // amounts and a second font; and its subset fonts draw the same page (accented letters are
    // made of other glyphs, which the subset must keep).
    void pdfReadsAsThePaintedPages()
    {
        ReportDefinition definition = smallPages(30);
        definition.fonts.push_back(ReportFont{{}, 14.0, true, false});
        definition.pageHeader.items[0].font = 1;
        QList<std::tuple<QString, int, qint64>> rows;
        for (int i = 0; i < 45; ++i)
            rows.append({QStringList{u"Affitto ufficio"_s, u"Rifiuti – flussi"_s,
                                     u"Caffè, società e perché"_s}[i % 3],
                         1 + i % 28, qint64(i) * 123457 - 400000});
        const ReportDocument document = laidOut(definition, cardRows(rows));
        QTemporaryDir dir;
        QString error;
        const QString written = dir.filePath(u"scritto.pdf"_s);
        QVERIFY2(exportPdf(document, written, &error), qPrintable(error));
        const QString painted = dir.filePath(u"dipinto.pdf"_s);
        {
            QPdfWriter writer(painted);
            writer.setPageLayout(
                QPageLayout(QPageSize(document.page.size), document.page.orientation, QMarginsF()));
            QPainter painter(&writer);
            for (int i = 0; i < document.pageCount(); ++i) {
                if (i > 0)
                    writer.newPage();
                paintReportPage(painter, document, i);
            }
        }
        for (const QStringList &mode : {QStringList{u"-layout"_s}, QStringList{}}) {
            const QString text = run(u"pdftotext"_s, mode + QStringList{written, u"-"_s});
            QVERIFY(text.contains(u"Riﬁuti – ﬂussi"_s));
            QCOMPARE(text, run(u"pdftotext"_s, mode + QStringList{painted, u"-"_s}));
        }
        const auto firstPage = [&](const QString &pdf) {
            run(u"pdftoppm"_s,
                {u"-r"_s, u"150"_s, u"-gray"_s, u"-singlefile"_s, u"-png"_s, pdf, pdf.chopped(4)});
            return QImage(pdf.chopped(4) + u".png"_s).convertToFormat(QImage::Format_Grayscale8);
        };
        const QImage ours = firstPage(written), theirs = firstPage(painted);
        QCOMPARE(ours.size(), theirs.size());
        int differing = 0;
        for (int y = 0; y < ours.height(); ++y)
            for (int x = 0; x < ours.width(); ++x)
                differing +=
                    std::abs(ours.pixelColor(x, y).value() - theirs.pixelColor(x, y).value()) > 128;
        // Without the accents' parts about a hundred pixels go missing.
        QVERIFY2(differing < 20, qPrintable(QString::number(differing)));
    }

    void failedExportLeavesNoFile()
    {
        const ReportDocument document = laidOut(smallPages(2), cardRows({{u"Cassa"_s, 1, 100}}));
        QTemporaryDir dir;
        QString error;
        const QString missingFolder = dir.filePath(u"manca/prova"_s);
        for (const ExportFormat format :
             {ExportFormat::Pdf, ExportFormat::Xlsx, ExportFormat::Rtf, ExportFormat::Html}) {
            error.clear();
            QVERIFY(!exportReport(document, format, missingFolder, &error));
            QVERIFY(error.startsWith(u"Impossibile"_s));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 0);
        QVERIFY(exportFormatOf(u"a.PDF"_s) == ExportFormat::Pdf);
        QVERIFY(exportFormatOf(u"a.htm"_s) == ExportFormat::Html);
        QVERIFY(!exportFormatOf(u"a.xls"_s));
    }
};

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
