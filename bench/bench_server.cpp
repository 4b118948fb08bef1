// The same work on the synthetic archive in its file and copied to a PostgreSQL server, side by
// side: the journal and account-card views' rows, a balance over every year, the journal book
// of a year, posting 3,000 entries, the year-end and booking a bank statement. The server is
// the one named by TOVRIN_BENCH_SERVER (its maintenance database; scripts/test-server.sh starts
// one), where a database is made and dropped.
//   TOVRIN_BENCH_SERVER=postgresql://tovrin@localhost:54330/postgres bench_server [entries]

#include "BankStatementSetup.h"
#include "YearEndSetup.h"
#include "bankimport/BankImport.h"
#include "bankimport/StatementReaders.h"
#include "data/RowSet.h"
#include "data/ServerMigration.h"
#include "journal/EntryFile.h"
#include "main/MainViews.h"
#include "reportengine/ReportDocument.h"
#include "reports/JournalBook.h"
#include "statements/BalanceSections.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

struct Figures {
    double journal = 0;
    double cards = 0;
    double balance = 0;
    double book = 0;
    double posting = 0;
    double yearEnd = 0;
    double bankImport = 0;
};

double seconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

// 3,000 entries of one row each dated in the year, posted in one transaction as the post command
// does.
double postEntriesOf(const Archive &archive, int year)
{
    QList<qint64> accounts;
    {
        Connection connection(archive, Connection::Mode::ReadOnly);
        QSqlQuery query = connection.query();
        QString error;
        must(runSql(query, u"SELECT id FROM sottoconti ORDER BY id LIMIT 2"_s, {}, &error), error);
        while (query.next())
            accounts.append(query.value(0).toLongLong());
    }
    QList<JournalEntry> entries;
    for (int i = 0; i < 3000; ++i) {
        JournalEntry entry;
        entry.header.data = QDate(year, 1 + i % 12, 1 + i % 28);
        entry.rows = {{0, accounts[0], accounts[1], Money::fromCents(100 + i), u"Quota"_s}};
        entries.append(entry);
    }
    return seconds([&] {
        QString error;
        must(postEntries(archive, entries, false, &error), error);
    });
}

// A statement of 10,000 movements of the year after the archive's last, booked in one
// transaction as the import window books it; a counterpart that nothing proposed is the fallback.
double bookStatement(const Archive &archive, int year)
{
    const bankstatement::Bank bank = bankstatement::prepareBank(archive);
    QString error;
    const std::optional<QList<BankStatement>> statements =
        readCamt053(bankstatement::statementFile(10000, year), &error);
    must(statements.has_value(), error);
    std::optional<QList<ReviewedMovement>> reviewed;
    {
        Connection connection(archive, Connection::Mode::ReadOnly);
        reviewed = reviewStatement(connection.database(), bank.subAccount, *statements, &error);
        must(reviewed.has_value(), error);
    }
    for (ReviewedMovement &item : *reviewed)
        if (item.counterpart == 0)
            item.counterpart = bank.fallback;
    return seconds([&] {
        must(bookMovements(archive, bank.subAccount, *statements, *reviewed, &error).has_value(),
             error);
    });
}

double viewRows(const Archive &archive, MainView view, const FiscalEnvironment &environment)
{
    return seconds([&] {
        RowSet rows;
        Connection connection(archive, Connection::Mode::ReadOnly);
        QString error;
        must(rows.load(connection, mainViewDefinition(view).statement,
                       mainViewBindings(view, environment.yearStart(), environment.yearEnd()),
                       &error),
             error);
    });
}

Figures measure(const Archive &archive, const SyntheticOptions &options)
{
    Figures figures;
    FiscalEnvironment environment(archive);
    environment.setWorkingDate(QDate(options.firstYear + options.years - 1, 6, 30));
    QString error;
    must(environment.refresh(&error), error);
    figures.journal = viewRows(archive, MainView::Movimenti, environment);
    figures.cards = viewRows(archive, MainView::Schede, environment);
    Connection connection(archive, Connection::Mode::ReadOnly);
    figures.balance = seconds([&] {
        BalanceOptions balance;
        balance.dateFrom = QDate(options.firstYear, 1, 1);
        balance.dateTo = QDate(options.firstYear + options.years - 1, 12, 31);
        const std::optional<BalanceCaptions> captions =
            readBalanceCaptions(connection.database(), &error);
        must(captions && computeBalance(connection.database(), balance, *captions, &error), error);
    });
    figures.book = seconds([&] {
        const std::optional<JournalBookOptions> book =
            journalBookDefaults(connection.database(), environment.workingDate(), &error);
        ReportDocument document;
        must(book && layOutJournalBook(connection.database(), *book, &document, &error), error);
    });
    const YearEndYears years = prepareYearEnd(archive, options);
    figures.posting = postEntriesOf(archive, years.prevStart.year());
    figures.yearEnd = seconds([&] { runPreparedYearEnd(archive, years); });
    figures.bankImport = bookStatement(archive, options.firstYear + options.years);
    return figures;
}

// A goal of 0: the figure is shown without one.
void row(const char *what, double file, double server, double goal)
{
    std::printf("| %-34s | %7.3f s | %7.3f s | %5.2fx | %s |\n", what, file, server, server / file,
                goal == 0               ? "no goal"
                : server / file <= goal ? "within goal"
                                        : "OVER GOAL");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString url = qEnvironmentVariable("TOVRIN_BENCH_SERVER",
                                             u"postgresql://tovrin@localhost:54330/postgres"_s);
    QString error;
    const std::optional<ServerLocation> maintenance = serverLocationFromUrl(url, &error);
    must(maintenance.has_value(), error);

    QTemporaryDir dir;
    const QString fileFolder = dir.filePath(u"file"_s);
    const QString serverFolder = dir.filePath(u"server"_s);
    QDir().mkpath(fileFolder);
    const SyntheticOptions options = openSyntheticArchive(fileFolder, argc, argv);
    for (const QString &sub : {u"allegati"_s, u"modelli"_s, u"documenti"_s})
        QDir().mkpath(serverFolder + u'/' + sub);
    must(QFile::copy(databasePathFor(fileFolder), databasePathFor(serverFolder)),
         u"copy of the archive"_s);

    ServerLocation server = *maintenance;
    server.database = u"bench_server_%1"_s.arg(QCoreApplication::applicationPid());
    const auto onMaintenance = [&](const QString &sql) {
        Connection connection(*maintenance);
        QSqlQuery query = connection.query();
        must(connection.opened(&error) && runSql(query, sql, {}, &error), error);
    };
    onMaintenance(u"CREATE DATABASE "_s + server.database);
    const double migration =
        seconds([&] { must(migrateToServer(Archive(serverFolder), server, &error), error); });
    std::printf("archive: %d entries over %d years; migrated to the server in %.1f s\n",
                options.entries, options.years, migration);

    const Figures file = measure(Archive(fileFolder), options);
    const Figures onServer = measure(Archive(serverFolder), options);
    std::printf("| %-34s | %9s | %9s | %6s | %s |\n", "", "SQLite", "server", "ratio", "goal");
    row("'Movimenti' rows of the year", file.journal, onServer.journal, 1.5);
    row("'Schede' rows of the year", file.cards, onServer.cards, 1.5);
    row("balance over every year", file.balance, onServer.balance, 1.2);
    row("journal book of a year, laid out", file.book, onServer.book, 1.2);
    row("posting 3,000 entries", file.posting, onServer.posting, 2.0);
    row("year-end", file.yearEnd, onServer.yearEnd, 1.5);
    // The server checks each booked row's references (entry, sub-accounts, statement) with a
    // query of its own, dearer than the file's check: the figure is watched, with no goal.
    row("booking a statement of 10,000", file.bankImport, onServer.bankImport, 0);
    onMaintenance(u"DROP DATABASE %1 WITH (FORCE)"_s.arg(server.database));
    return 0;
}
