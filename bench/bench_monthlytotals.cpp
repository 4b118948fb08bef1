// Times the verification of the monthly totals against the entries on the synthetic archive: the
// fast aggregate alone, opening for writing (which runs it), opening again in a new process after a
// write of the program's own (which trusts the program's stamp instead), a balance's look-up once
// verified, and the rebuild of the totals when they drift.
//   bench_monthlytotals [entries]

#include "BenchSupport.h"
#include "data/ArchiveStartup.h"
#include "data/MonthlyTotals.h"

#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// The opening as the next program or command does it, in a process that has verified nothing.
void openInNewProcess(const QString &folder)
{
    must(QProcess::execute(QCoreApplication::applicationFilePath(), {u"--open-only"_s, folder}) ==
             0,
         u"the new process could not open the archive"_s);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--open-only") == 0) {
        QString error;
        timedStep("open in a new process", [&] {
            must(openForWriting(Archive(QString::fromLocal8Bit(argv[2])), &error), error);
        });
        return 0;
    }
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
    // A write of the program's own (as any saved entry) stamps the totals it kept sound.
    must(inTransaction(
             archive,
             [](const Connection &connection, QString *failure) {
                 QSqlQuery query = connection.query();
                 return runSql(query,
                               u"UPDATE parametri SET valore = valore WHERE chiave = 'aMajor'"_s,
                               {}, failure);
             },
             &error),
         error);
    std::fflush(stdout);
    openInNewProcess(dir.path());
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
