// Times the chart printout of the civil-code chart (about 360 sub-accounts, some 700 printed
// lines): the bare query of its rows, their layout into pages in both layouts, and the PDF
// written from those pages. Prints the process's peak memory after each step.
//   bench_chartprint

#include "BenchSupport.h"
#include "archive/NewArchive.h"
#include "chart/ChartPrintout.h"
#include "data/FiscalEnvironment.h"
#include "reportengine/ReportExport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Runs work once and prints its time and the peak memory so far; returns the seconds.
template <typename Work> double timed(const char *what, Work work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("  %-22s %8.4f s   peak %6.0f MB\n", what, seconds, peakMegabytes());
    return seconds;
}

qint64 bareQuery(const QSqlDatabase &database)
{
    const std::unique_ptr<RowSource> rows = chartPrintoutRows(database);
    QVariantList values;
    qint64 count = 0;
    while (rows->next(&values))
        ++count;
    must(rows->errorText().isEmpty(), rows->errorText());
    return count;
}

qint64 printedLines(const ReportDocument &document)
{
    qint64 lines = 0;
    for (int page = 0; page < document.pageCount(); ++page)
        lines += document.textLines(page).size();
    return lines;
}

void benchLayout(const char *title, ChartLayout layout, const QSqlDatabase &database,
                 const FiscalEnvironment &environment, const QString &folder)
{
    std::printf("%s\n", title);
    ChartPrintoutOptions options = chartPrintoutOptions(environment);
    options.layout = layout;
    ReportDocument document;
    QString error;
    double total = timed(
        "layout", [&] { must(layOutChartPrintout(database, options, &document, &error), error); });
    total += timed("PDF", [&] {
        must(exportPdf(document, folder + u"/pdc%1.pdf"_s.arg(int(layout)), &error), error);
    });
    std::printf("  %lld lines on %d pages; layout (with its query) and PDF together %.4f s\n",
                printedLines(document), document.pageCount(), total);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString programFolder = QCoreApplication::applicationDirPath();
    QString error;
    const QList<ChartTemplate> charts =
        loadChartTemplates(QDir(programFolder).filePath(u"pdc.gen"_s), &error);
    must(!charts.isEmpty(), error);
    const auto civilCode = std::find_if(charts.begin(), charts.end(), [](const ChartTemplate &c) {
        return c.foglio == u"pdc_impresa"_s;
    });
    must(civilCode != charts.end(), u"no civil-code chart among the templates"_s);

    QTemporaryDir base;
    must(createArchive({base.path(), u"bench"_s, *civilCode, 1, false}, programFolder, &error),
         error);
    const Archive archive(archiveFolderFor(base.path(), u"bench"_s));
    FiscalEnvironment environment(archive);
    must(environment.refresh(&error), error);
    Connection connection(archive, Connection::Mode::ReadOnly);
    must(connection.isOpen(), connection.errorText());

    std::printf("civil-code chart\n");
    qint64 rows = 0;
    timed("bare query", [&] { rows = bareQuery(connection.database()); });
    std::printf("  %lld rows\n", rows);
    const QTemporaryDir out;
    benchLayout("indented", ChartLayout::Indented, connection.database(), environment, out.path());
    benchLayout("aligned left", ChartLayout::AlignedLeft, connection.database(), environment,
                out.path());
    return 0;
}
