#pragma once

#include "BenchSupport.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "yearend/YearEnd.h"

// The synthetic archive made ready for a year-end of its last year but one: the year-end roles
// set, and the entries its generator wrote for the closing and opening of that year deleted.
inline YearEndYears prepareYearEnd(const Archive &archive, const SyntheticOptions &options)
{
    using namespace Qt::StringLiterals;
    // Each role its own sub-account: the result's entry moves it between two of them.
    const auto subAccountOfNature = [&](int nature, int rank) {
        Connection connection(archive);
        QSqlQuery query = connection.query();
        must(runSql(query,
                    u"SELECT s.id FROM sottoconti s JOIN conti c ON c.id = s.idConto "
                    u"JOIN mastri m ON m.id = c.idMastro WHERE m.tipo = ? ORDER BY s.id "
                    u"LIMIT 1 OFFSET ?"_s,
                    {nature, rank}) &&
                 query.next(),
             u"no sub-account of nature %1"_s.arg(nature));
        return query.value(0).toLongLong();
    };
    QString error;
    for (const auto &[role, nature, rank] :
         {std::tuple(u"bilanciochiusura"_s, 2, 0), std::tuple(u"bilancioapertura"_s, 2, 0),
          std::tuple(u"utile"_s, 2, 1), std::tuple(u"perdita"_s, 2, 2),
          std::tuple(u"profittieperdite"_s, 4, 0)})
        must(writeParameter(archive, role, ValueType::Integer, Storage::InArchive,
                            subAccountOfNature(nature, rank), &error),
             error);
    FiscalEnvironment environment(archive);
    environment.setWorkingDate(QDate(options.firstYear + options.years - 1, 6, 30));
    must(environment.refresh(&error), error);
    const YearEndYears years = YearEndYears::of(environment);
    Connection connection(archive);
    QSqlQuery query = connection.query();
    must(runSql(query,
                u"DELETE FROM regmain WHERE (tipo = -1 AND data BETWEEN ? AND ?) "
                u"OR (tipo = 1 AND data BETWEEN ? AND ?)"_s,
                {years.prevStart.toString(Qt::ISODate), years.prevEnd.toString(Qt::ISODate),
                 years.curStart.toString(Qt::ISODate), years.curEnd.toString(Qt::ISODate)},
                &error),
         error);
    return years;
}

// The year-end as the window runs it after its checks; the entries it wrote.
inline qsizetype runPreparedYearEnd(const Archive &archive, const YearEndYears &years)
{
    using namespace Qt::StringLiterals;
    QString error;
    must(yearEndRefusal(archive, years, &error).isEmpty() && error.isEmpty(), u"refused"_s);
    const std::optional<Money> result = yearResult(archive, years, &error);
    must(result.has_value(), error);
    const YearEndInput input =
        yearEndDefaults(archive, years, *result, yearEndChoices(archive, true, &error),
                        yearEndChoices(archive, false, &error));
    must(yearEndProblems(input, years).isEmpty(), u"invalid inputs"_s);
    const auto written = runYearEnd(archive, input, years, *result, &error);
    must(written.has_value(), error);
    return written->size();
}
