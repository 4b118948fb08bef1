// Times filling the third-sector template from the synthetic archive (500,000 entries over ten
// years by default): the balance tables of the last two years, the fill and the save.
//   bench_fill [entries]

#include "BenchSupport.h"
#include "data/Database.h"
#include "statements/StatementExport.h"
#include "statements/WorkbookFiller.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions options = openSyntheticArchive(dir.path(), argc, argv);
    const int lastYear = options.firstYear + options.years - 1;
    const StatementYears years{{QDate(lastYear, 1, 1), QDate(lastYear, 12, 31)},
                               {QDate(lastYear - 1, 1, 1), QDate(lastYear - 1, 12, 31)}};
    const QString model =
        QDir(QCoreApplication::applicationDirPath()).filePath(u"modelli/bilancio3settore.xltx"_s);
    const QString out = dir.filePath(u"bilancio.xlsx"_s);

    QElapsedTimer timer;
    timer.start();
    QString error;
    WorkbookFiller filler;
    int ticks = 0;
    must(filler.loadTemplate(model, &error) &&
             generateStatement(
                 filler, Archive(dir.path()), years, out, [&ticks] { ++ticks; }, &error),
         error);
    const qint64 elapsed = timer.elapsed();
    std::printf("bench_fill: %d entries, %d placeholders filled, %d ticks, %lld ms\n",
                options.entries, filler.filledCount(), ticks, elapsed);
    return 0;
}
