// Times the entry editor's database work in the synthetic 10-year archive of 500,000 entries:
// opening an entry, saving a new entry of four rows (with its number) and the numbering check
// that runs when the editor closes.
//   bench_journal [entries]

#include "BenchSupport.h"
#include "data/Database.h"
#include "data/Renumbering.h"
#include "journal/EntryEditing.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// The best of several runs, in milliseconds: the machine is shared.
template <typename Work> double bestOf(int runs, Work work)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work(i);
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions options = openSyntheticArchive(dir.path(), argc, argv);
    const Archive archive(dir.path());
    QString error;
    const int lastYear = options.firstYear + options.years - 1;
    const QDate yearStart(lastYear, 1, 1), yearEnd(lastYear, 12, 31);

    qint64 someEntry = 0, cassa = 0, banca = 0;
    {
        Connection connection(archive);
        QSqlQuery query = connection.query();
        // The synthetic archive closes every year: the last one takes new entries again.
        must(runSql(query, u"DELETE FROM regmain WHERE tipo = -1 AND data BETWEEN ? AND ?"_s,
                    {yearStart.toString(Qt::ISODate), yearEnd.toString(Qt::ISODate)}, &error),
             error);
        must(runSql(query, u"SELECT MAX(id) FROM regmain WHERE data <= ?"_s,
                    {yearEnd.addMonths(-6).toString(Qt::ISODate)}) &&
                 query.next(),
             u"no entry"_s);
        someEntry = query.value(0).toLongLong();
        must(runSql(query, u"SELECT MIN(id), MAX(id) FROM sottoconti"_s) && query.next(),
             u"no sub-account"_s);
        cassa = query.value(0).toLongLong();
        banca = query.value(1).toLongLong();
    }

    const double open =
        bestOf(5, [&](int) { must(loadEntry(archive, someEntry, &error).has_value(), error); });
    const double save = bestOf(5, [&](int i) {
        JournalEntry entry{{0, QDate(lastYear, 6, 1 + i), {}, EntryKind::Ordinary, {}},
                           {{0, cassa, {}, Money::fromCents(10000), u"Riga 1"_s},
                            {0, cassa, {}, Money::fromCents(5000), u"Riga 2"_s},
                            {0, {}, banca, Money::fromCents(12000), u"Riga 3"_s},
                            {0, {}, banca, Money::fromCents(3000), u"Riga 4"_s}}};
        must(validateEntry(archive, entry.rows, &error).isEmpty(), u"invalid entry "_s + error);
        must(saveEntry(archive, entry, yearStart, yearEnd, &error), error);
    });
    bool misaligned = false;
    const double check =
        bestOf(5, [&](int) { misaligned = numberingBroken(archive, yearStart, yearEnd, &error); });

    std::printf("archive: %d entries over %d years; year %d\n", options.entries, options.years,
                lastYear);
    std::printf("opening an entry: %.2f ms\n", open);
    std::printf("checking and saving a new entry of 4 rows with its number: %.2f ms\n", save);
    std::printf("numbering check on closing (%s): %.2f ms\n", misaligned ? "misaligned" : "aligned",
                check);
    return 0;
}
