// Times the balance on the synthetic 10-year archive: the bare query (sub-account balances and
// the memorandum test) and the layout of "Bilancio" and of the opposed balance, for the last
// month, the last year, all ten years and ten years starting and ending in mid-month. Prints the
// process's peak memory after each step.
//   bench_balance [entries]

#include "BenchSupport.h"
#include "data/Database.h"
#include "data/SqlText.h"
#include "statements/BalanceReports.h"
#include "statements/BalanceSections.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

template <typename Work> void timed(const char *what, Work work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    std::printf("  %-34s %8.3f s   peak %6.0f MB\n", what, timer.nsecsElapsed() / 1e9,
                peakMegabytes());
}

void benchPeriod(const char *title, const QSqlDatabase &database, const QDate &from,
                 const QDate &to)
{
    std::printf("%s: %s - %s\n", title, qPrintable(isoDate(from)), qPrintable(isoDate(to)));
    BalanceOptions options;
    options.dateFrom = from;
    options.dateTo = to;
    QString error;
    const std::optional<BalanceCaptions> captions = readBalanceCaptions(database, &error);
    must(captions.has_value(), error);
    std::optional<Balance> balance;
    timed("bare query", [&] { balance = computeBalance(database, options, *captions, &error); });
    must(balance.has_value(), error);
    ReportDocument sequential, opposed;
    timed("layout Bilancio", [&] {
        must(layOutBalance(*balance, BalanceKind::Sequential, false, &sequential, &error), error);
    });
    timed("layout a sezioni contrapposte", [&] {
        must(layOutBalance(*balance, BalanceKind::Opposed, false, &opposed, &error), error);
    });
    timed("query and layout Bilancio", [&] {
        ReportDocument document;
        must(layOutBalance(database, BalanceKind::Sequential, options, *captions, false, &document,
                           &error),
             error);
    });
    size_t lines = 0;
    for (const BalanceSection &section : balance->sections)
        lines += section.lines.size();
    std::printf("  %zu lines, %d + %d pages\n", lines, sequential.pageCount(), opposed.pageCount());
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions synthetic = openSyntheticArchive(dir.path(), argc, argv);
    const int firstYear = synthetic.firstYear;
    const int lastYear = firstYear + synthetic.years - 1;
    std::printf("archive: %d entries over %d years; peak %.0f MB after creating it\n",
                synthetic.entries, synthetic.years, peakMegabytes());

    Connection connection(Archive(dir.path()), Connection::Mode::ReadOnly);
    must(connection.isOpen(), connection.errorText());
    benchPeriod("one month", connection.database(), QDate(lastYear, 6, 1), QDate(lastYear, 6, 30));
    benchPeriod("one year", connection.database(), QDate(lastYear, 1, 1), QDate(lastYear, 12, 31));
    benchPeriod("ten years", connection.database(), QDate(firstYear, 1, 1),
                QDate(lastYear, 12, 31));
    benchPeriod("ten years, from and to in mid-month", connection.database(),
                QDate(firstYear, 1, 16), QDate(lastYear, 12, 15));
    return 0;
}
