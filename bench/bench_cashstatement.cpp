// Times the cash-basis statement of the last year of the synthetic archive (500,000 entries over
// ten years by default, so 50,000 in the year) and of the year before. The synthetic chart's
// accounts are first given the codes of the third-sector chart that make the work heaviest:
// cash and bank flagged, receivables and payables traced, costs and revenues on their lines.
//   bench_cashstatement [entries]

#include "BenchSupport.h"
#include "data/Database.h"
#include "data/MonthlyTotals.h"
#include "statements/CashStatement.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void giveThirdSectorCodes(const Archive &archive)
{
    // Synthetic account code -> third-sector account code, and whether it is cash.
    const QList<std::tuple<QString, QString, int>> codes{
        {u"A01003"_s, u"120030"_s, 0}, {u"A02001"_s, u"150010"_s, 0}, {u"A02002"_s, u"150020"_s, 0},
        {u"A02004"_s, u"150090"_s, 0}, {u"A03001"_s, u"170030"_s, 1}, {u"A03002"_s, u"170010"_s, 1},
        {u"A03003"_s, u"170020"_s, 1}, {u"P02001"_s, u"271040"_s, 0}, {u"P02002"_s, u"272020"_s, 0},
        {u"P02003"_s, u"274010"_s, 0}, {u"P03001"_s, u"260010"_s, 0}, {u"C01001"_s, u"310010"_s, 0},
        {u"C02001"_s, u"310020"_s, 0}, {u"C02002"_s, u"350020"_s, 0}, {u"C03001"_s, u"310040"_s, 0},
        {u"C04002"_s, u"340010"_s, 0}, {u"R01001"_s, u"410010"_s, 0}, {u"R01003"_s, u"410040"_s, 0},
        {u"R02002"_s, u"410070"_s, 0}, {u"R03001"_s, u"440010"_s, 0},
    };
    QString error;
    must(inTransaction(
             archive,
             [&](const Connection &connection, QString *failure) {
                 QSqlQuery query = connection.query();
                 for (const auto &[from, to, cash] : codes)
                     if (!runSql(query,
                                 u"UPDATE conti SET prefisso = ?, liquidita = ? "
                                 u"WHERE prefisso = ?"_s,
                                 {to, cash, from}, failure))
                         return false;
                 return true;
             },
             &error),
         error);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions options = openSyntheticArchive(dir.path(), argc, argv);
    const int lastYear = options.firstYear + options.years - 1;
    const Archive archive(dir.path());
    giveThirdSectorCodes(archive);
    Connection connection(archive, Connection::Mode::ReadOnly);
    must(connection.isOpen(), connection.errorText());
    // The program verifies the monthly totals once when it opens an archive.
    timedStep("totals", [&] { must(monthlyTotalsTrusted(connection.database()), u"totals"_s); });
    std::printf("cash-basis statement of %d and %d, %d entries a year:\n", lastYear, lastYear - 1,
                options.entries / options.years);
    for (int run = 1; run <= 3; ++run) {
        std::optional<CashStatement> statement;
        QString error;
        timedStep("statement", [&] {
            statement = computeCashStatement(
                connection.database(), {QDate(lastYear, 1, 1), QDate(lastYear, 12, 31)},
                {QDate(lastYear - 1, 1, 1), QDate(lastYear - 1, 12, 31)}, &error);
        });
        must(statement.has_value(), error);
        if (run == 1)
            std::printf("  surplus %s, unclassified %s, difference %s\n",
                        qPrintable(QString::number(statement->current.surplus().units())),
                        qPrintable(QString::number(statement->current.unclassified.units())),
                        qPrintable(QString::number(statement->current.difference().units())));
    }
    return 0;
}
