// Times a bank statement of 10,000 movements against the synthetic archive (500,000 entries by
// default): reading the camt.053 file, matching the entries typed by hand and proposing the
// counterparts (rules, IBANs, identical and like words of the bank's earlier entries), comparing
// the balances, booking every movement in one transaction with the statement kept for the
// reconciliation, and reading the same file again, when every movement is already imported.
//   bench_bankimport [entries] [movements]

#include "BankStatementSetup.h"
#include "bankimport/BankImport.h"
#include "bankimport/StatementReaders.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions options = openSyntheticArchive(dir.path(), argc, argv);
    const int movements = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10000;
    const Archive archive(dir.path());
    const bankstatement::Bank prepared = bankstatement::prepareBank(archive);
    const qint64 bank = prepared.subAccount;
    const qint64 fallback = prepared.fallback;
    QString error;
    const QByteArray file =
        bankstatement::statementFile(movements, options.firstYear + options.years);
    std::printf("Statement of %d movements (%.1f MB) on %d entries\n", movements,
                file.size() / 1048576.0, options.entries);

    std::optional<QList<BankStatement>> statements;
    std::optional<QList<ReviewedMovement>> reviewed;
    const double read = timedStep("read", [&] { statements = readCamt053(file, &error); });
    must(statements.has_value(), error);
    const double propose = timedStep("match and propose", [&] {
        Connection connection(archive, Connection::Mode::ReadOnly);
        reviewed = reviewStatement(connection.database(), bank, *statements, &error);
        must(reviewed.has_value(), error);
        must(balanceChecks(connection.database(), bank, *statements, *reviewed, &error).has_value(),
             error);
    });
    int proposed = 0;
    for (ReviewedMovement &item : *reviewed) {
        proposed += item.counterpart != 0;
        if (item.counterpart == 0)
            item.counterpart = fallback;
    }
    std::optional<BookingCounts> counts;
    const double book = timedStep("book", [&] {
        counts = bookMovements(archive, bank, *statements, *reviewed, &error);
        must(counts.has_value(), error);
    });
    const double again = timedStep("read again", [&] {
        Connection connection(archive, Connection::Mode::ReadOnly);
        reviewed = reviewStatement(connection.database(), bank, *readCamt053(file, &error), &error);
        must(reviewed.has_value(), error);
    });
    int imported = 0;
    for (const ReviewedMovement &item : *reviewed)
        imported += item.alreadyImported;
    std::printf("Proposed %d of %d; read, matched and proposed %.2f s (goal 2 s); booked %d, "
                "linked %d, refused %d in %.2f s (goal 5 s); read again %.2f s, %d already "
                "imported\n",
                proposed, movements, read + propose, counts->booked, counts->linked,
                counts->refused, book, again, imported);
    return 0;
}
