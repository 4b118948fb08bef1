// Times the journal book on the synthetic 10-year archive: the bare query of the last year's
// rows, their layout into pages and the PDF written from them, then the layout that keeps the
// lines' typed cells and the spreadsheet written from it; for the whole year (50,000 entries,
// about 150,000 rows) and for its first 10,000 rows. Prints the process's peak memory after
// each step.
//   bench_journalbook [entries]

#include "BenchSupport.h"
#include "data/Database.h"
#include "data/SqlText.h"
#include "reportengine/ReportExport.h"
#include "reports/JournalBook.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

qint64 bareQuery(const QSqlDatabase &database, const JournalBookOptions &options)
{
    const std::unique_ptr<RowSource> rows = journalBookRows(database, options);
    QVariantList values;
    qint64 count = 0;
    while (rows->next(&values))
        ++count;
    must(rows->errorText().isEmpty(), rows->errorText());
    return count;
}

void benchBook(const char *title, const QSqlDatabase &database, const JournalBookOptions &options,
               const QString &folder)
{
    std::printf("%s: %s - %s\n", title, qPrintable(isoDate(options.dateFrom)),
                qPrintable(isoDate(options.dateTo)));
    qint64 rows = 0;
    timedStep("bare query", [&] { rows = bareQuery(database, options); });
    ReportDocument document;
    QString error;
    timedStep("layout",
              [&] { must(layOutJournalBook(database, options, &document, &error), error); });
    const QString pdf = folder + u"/giornale.pdf"_s;
    const QString xlsx = folder + u"/giornale.xlsx"_s;
    timedStep("PDF", [&] { must(exportPdf(document, pdf, &error), error); });
    const int pages = document.pageCount();
    // A spreadsheet takes the lines' typed cells, which pages leave out.
    document = {};
    JournalBookOptions spreadsheet = options;
    spreadsheet.spreadsheet = true;
    timedStep("XLSX layout",
              [&] { must(layOutJournalBook(database, spreadsheet, &document, &error), error); });
    timedStep("XLSX", [&] { must(exportXlsx(document, xlsx, &error), error); });
    std::printf("  %lld rows, %d pages; PDF %.1f MB, XLSX %.1f MB\n", rows, pages,
                QFileInfo(pdf).size() / 1048576.0, QFileInfo(xlsx).size() / 1048576.0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions synthetic = openSyntheticArchive(dir.path(), argc, argv);
    const int lastYear = synthetic.firstYear + synthetic.years - 1;
    std::printf("archive: %d entries over %d years; peak %.0f MB after creating it\n",
                synthetic.entries, synthetic.years, peakMegabytes());

    Connection connection(Archive(dir.path()), Connection::Mode::ReadOnly);
    must(connection.isOpen(), connection.errorText());
    QString error;
    std::optional<JournalBookOptions> year =
        journalBookDefaults(connection.database(), QDate(lastYear, 6, 30), &error);
    must(year.has_value(), error);

    // The day of the 10,000th row of the year bounds the smaller book.
    JournalBookOptions first = *year;
    QSqlQuery query = connection.query();
    must(runSql(query,
                u"SELECT regmain.data FROM regmain JOIN regdet ON regdet.idRegMain = regmain.id "
                u"WHERE regmain.data BETWEEN ? AND ? ORDER BY regmain.data LIMIT 1 OFFSET 9999"_s,
                {isoDate(year->dateFrom), isoDate(year->dateTo)}, &error) &&
             query.next(),
         u"fewer than 10,000 rows in the year "_s + error);
    first.dateTo = dateFromIso(query.value(0).toString()).addDays(-1);
    query.finish();

    const QTemporaryDir out;
    benchBook("about 10,000 rows", connection.database(), first, out.path());
    benchBook("the whole year", connection.database(), *year, out.path());
    return 0;
}
