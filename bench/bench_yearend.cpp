// Times the year-end (four steps and the renumbering of both years, one transaction) on the
// synthetic 10-year archive: the closed year holds 50,000 entries over about 300 sub-accounts.
//   bench_yearend [entries]

#include "BenchSupport.h"
#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "yearend/YearEnd.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

qint64 firstSubAccountOfNature(const Archive &archive, int nature)
{
    Connection connection(archive);
    QSqlQuery query = connection.query();
    must(runSql(query,
                u"SELECT MIN(s.id) FROM sottoconti s JOIN conti c ON c.id = s.idConto "
                u"JOIN mastri m ON m.id = c.idMastro WHERE m.tipo = ?"_s,
                {nature}) &&
             query.next(),
         u"no sub-account of nature %1"_s.arg(nature));
    return query.value(0).toLongLong();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions options = openSyntheticArchive(dir.path(), argc, argv);
    const Archive archive(dir.path());
    QString error;
    for (const auto &[role, nature] :
         {std::pair(u"bilanciochiusura"_s, 2), std::pair(u"bilancioapertura"_s, 2),
          std::pair(u"utile"_s, 2), std::pair(u"perdita"_s, 2),
          std::pair(u"profittieperdite"_s, 4)})
        must(writeParameter(archive, role, ValueType::Integer, Storage::InArchive,
                            firstSubAccountOfNature(archive, nature), &error),
             error);

    // The last year of the archive is opened; the one before it is closed.
    FiscalEnvironment environment(archive);
    environment.setWorkingDate(QDate(options.firstYear + options.years - 1, 6, 30));
    must(environment.refresh(&error), error);
    const YearEndYears years = YearEndYears::of(environment);

    // The generator closes every year; a repeated year-end starts by deleting that one's entries.
    {
        Connection connection(archive);
        QSqlQuery query = connection.query();
        must(runSql(query,
                    u"DELETE FROM regmain WHERE (tipo = -1 AND data BETWEEN ? AND ?) "
                    u"OR (tipo = 1 AND data BETWEEN ? AND ?)"_s,
                    {years.prevStart.toString(Qt::ISODate), years.prevEnd.toString(Qt::ISODate),
                     years.curStart.toString(Qt::ISODate), years.curEnd.toString(Qt::ISODate)},
                    &error),
             error);
    }

    QElapsedTimer timer;
    timer.start();
    must(yearEndRefusal(archive, years, &error).isEmpty() && error.isEmpty(),
         u"refused: "_s + yearEndRefusal(archive, years, &error));
    const std::optional<Money> result = yearResult(archive, years, &error);
    must(result.has_value(), error);
    const YearEndInput input =
        yearEndDefaults(archive, years, *result, yearEndChoices(archive, true, &error),
                        yearEndChoices(archive, false, &error));
    must(yearEndProblems(input, years).isEmpty(), u"invalid inputs"_s);
    const qint64 opening = timer.nsecsElapsed();
    timer.restart();
    const auto written = runYearEnd(archive, input, years, *result, &error);
    const qint64 run = timer.nsecsElapsed();
    must(written.has_value(), error);

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
                qint64(written->size()), run / 1e6);
    return 0;
}
