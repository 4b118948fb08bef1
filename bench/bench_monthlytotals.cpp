// Times the verification of the monthly totals against the entries on the synthetic archive: the
// fast aggregate alone, opening for writing (which runs it), a balance's look-up once verified,
// and the rebuild of the totals when they drift.
//   bench_monthlytotals [entries]

#include "BenchSupport.h"
#include "data/ArchiveStartup.h"
#include "data/MonthlyTotals.h"

#include <QTemporaryDir>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions synthetic = openSyntheticArchive(dir.path(), argc, argv);
    std::printf("archive: %d entries over %d years\n", synthetic.entries, synthetic.years);
    const Archive archive(dir.path());
    QString error;
    {
        const Connection connection(archive, Connection::Mode::ReadOnly);
        must(connection.isOpen(), connection.errorText());
        timedStep("aggregate", [&] {
            must(monthlyTotalsAgree(connection.database(), &error).value_or(false), error);
        });
    }
    timedStep("open", [&] { must(openForWriting(archive, &error), error); });
    {
        const Connection connection(archive, Connection::Mode::ReadOnly);
        timedStep("trusted",
                  [&] { must(monthlyTotalsTrusted(connection.database()), u"drift"_s); });
    }
    {
        const Connection connection(archive);
        QSqlQuery query = connection.query();
        must(runSql(query,
                    u"UPDATE saldi_mese SET dare = dare + 1 WHERE conto = "
                    u"(SELECT MIN(conto) FROM saldi_mese)"_s,
                    {}, &error),
             error);
    }
    timedStep("rebuild", [&] { must(openForWriting(archive, &error), error); });
    return 0;
}
