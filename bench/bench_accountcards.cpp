// Times the account cards of the last year of the synthetic 10-year archive (50,000 entries),
// every sub-account, to PDF: the bare query of the cards' lines, their layout into pages and
// the PDF written from them. Prints the process's peak memory after each step.
//   bench_accountcards [entries]

#include "BenchSupport.h"
#include "data/Database.h"
#include "data/SqlText.h"
#include "reportengine/ReportExport.h"
#include "reports/AccountCardsReport.h"
#include "reports/ReportSettings.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

qint64 bareQuery(const QSqlDatabase &database, const BoundSql &statement)
{
    QSqlQuery query(database);
    query.setForwardOnly(true);
    QString error;
    must(runSql(query, statement.sql, statement.values, &error), error);
    qint64 count = 0;
    while (query.next())
        ++count;
    return count;
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
    ReportSettings settings;
    settings.dateFrom = QDate(lastYear, 1, 1);
    settings.dateTo = QDate(lastYear, 12, 31);
    settings.output = ReportOutput::Pdf;
    settings.source = accountCardsStatement(settings);
    std::printf("account cards %s - %s, every sub-account, portrait:\n",
                qPrintable(isoDate(settings.dateFrom)), qPrintable(isoDate(settings.dateTo)));

    qint64 lines = 0;
    const double query =
        timedStep("bare query", [&] { lines = bareQuery(connection.database(), settings.source); });
    ReportDocument document;
    QString error;
    const double layout = timedStep("layout", [&] {
        must(layOutAccountCards(connection.database(), settings, QPageLayout::Portrait,
                                u"Benchmark"_s, &document, &error),
             error);
    });
    const QTemporaryDir out;
    const QString pdf = out.filePath(u"schede.pdf"_s);
    const double written = timedStep("PDF", [&] { must(exportPdf(document, pdf, &error), error); });
    std::printf("  %lld lines, %zu cards, %d pages, PDF %.1f MB\n", lines, document.toc.size(),
                document.pageCount(), QFileInfo(pdf).size() / 1048576.0);
    std::printf("  layout + PDF %.2f s (the bare query alone %.2f s); peak %.0f MB\n",
                layout + written, query, peakMegabytes());
    return 0;
}
