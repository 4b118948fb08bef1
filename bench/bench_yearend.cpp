// Times the year-end (four steps and the renumbering of both years, one transaction) on the
// synthetic 10-year archive: the closed year holds 50,000 entries over about 300 sub-accounts.
//   bench_yearend [entries]

#include "YearEndSetup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions options = openSyntheticArchive(dir.path(), argc, argv);
    const Archive archive(dir.path());
    QElapsedTimer timer;
    const YearEndYears years = prepareYearEnd(archive, options);
    timer.start();
    QString error;
    must(yearEndRefusal(archive, years, &error).isEmpty() && error.isEmpty(), u"refused"_s);
    must(yearResult(archive, years, &error).has_value(), error);
    const qint64 opening = timer.nsecsElapsed();
    timer.restart();
    const qsizetype written = runPreparedYearEnd(archive, years);
    const qint64 run = timer.nsecsElapsed();

    Connection connection(archive);
    QSqlQuery query = connection.query();
    runSql(query, u"SELECT COUNT(*) FROM regmain WHERE data BETWEEN ? AND ?"_s,
           {years.prevStart.toString(Qt::ISODate), years.prevEnd.toString(Qt::ISODate)});
    query.next();
    std::printf("archive: %d entries over %d years; closed year %d with %lld entries\n",
                options.entries, options.years, years.prevStart.year(),
                query.value(0).toLongLong());
    std::printf("opening checks, result and drop-downs: %.1f ms\n", opening / 1e6);
    std::printf("year-end (4 steps, %lld entries written, renumbering of both years): %.1f ms\n",
                qint64(written), run / 1e6);
    return 0;
}
