// Times the main window's journal and account-card views on one fiscal year of a synthetic
// archive, with their search, the memory each loaded view adds, and the same statements run
// through SQLite alone.
//   bench_mainviews [ARCHIVE]   (without ARCHIVE a 500,000-entry archive is generated first)

#include "SyntheticArchive.h"

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "data/RowSet.h"
#include "data/SqlText.h"
#include "main/MainViews.h"
#include "main/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int Runs = 3;

double bestSeconds(const std::function<void()> &work)
{
    double best = 1e9;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

double heapMegabytes()
{
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

// The statement through the SQLite library alone, every column of every row read.
double sqliteSeconds(const QString &databasePath, MainView view, const QDate &first,
                     const QDate &last, long *rowsRead)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(databasePath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql = mainViewDefinition(view).statement.toUtf8();
    const QByteArray from = isoDate(first).toUtf8(), to = isoDate(last).toUtf8();
    const double seconds = bestSeconds([&] {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr);
        sqlite3_bind_text(statement, 1, from.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_text(statement, 2, to.constData(), -1, SQLITE_STATIC);
        long rows = 0;
        long bytes = 0;
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < columns; ++c) {
                if (sqlite3_column_type(statement, c) == SQLITE_TEXT)
                    bytes += sqlite3_column_bytes(statement, c);
                else
                    bytes += sqlite3_column_int64(statement, c) != 0;
            }
        }
        sqlite3_finalize(statement);
        *rowsRead = rows + (bytes < 0 ? 1 : 0);
    });
    sqlite3_close(db);
    return seconds;
}

void report(const char *what, double seconds, double target)
{
    std::printf("%-52s %8.3f s   (target < %.1f s)\n", what, seconds, target);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"tovrin3-bench"_s);
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));

    QTemporaryDir scratch;
    QString archive = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (archive.isEmpty()) {
        archive = scratch.filePath(u"tv3_bench"_s);
        QString error;
        std::printf("generating 500,000 entries over 10 years ...\n");
        if (!createSyntheticArchive(
                archive, QDir(QCoreApplication::applicationDirPath()).filePath(u"contab.gen"_s),
                SyntheticOptions(), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        }
    }
    writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser, archive);

    FiscalEnvironment environment{Archive(archive)};
    environment.setWorkingDate({2024, 6, 15});
    environment.refresh();
    const double heapBefore = heapMegabytes();
    MainWindow window(environment);
    window.resize(1280, 760);
    auto *find = window.findChild<QLineEdit *>(u"txtFind"_s);

    window.showView(MainView::Mastri);
    const double heapIdle = heapMegabytes();
    window.showView(MainView::Movimenti);
    const double heapJournal = heapMegabytes();
    const int journalRows = window.listedRows();
    const double journal = bestSeconds([&] { window.reloadView(); });
    const double journalSearch = bestSeconds([&] {
                                     find->setText(u"ba"_s);
                                     find->setText(u"ban"_s);
                                     find->setText(QString());
                                 }) /
                                 3;

    const auto rowSetSeconds = [&](MainView view) {
        return bestSeconds([&] {
            RowSet rows;
            Connection connection(environment.archive(), Connection::Mode::ReadOnly);
            rows.load(connection, mainViewDefinition(view).statement,
                      mainViewBindings(view, environment.yearStart(), environment.yearEnd()));
        });
    };
    const double journalRowSet = rowSetSeconds(MainView::Movimenti);
    const double cardsRowSet = rowSetSeconds(MainView::Schede);

    window.showView(MainView::Mastri);
    window.showView(MainView::Schede);
    const double heapCards = heapMegabytes();
    const int cardLines = window.listedRows();
    const double cards = bestSeconds([&] { window.reloadView(); });
    const double cardsSwitch = bestSeconds([&] { window.showView(MainView::Schede); });
    const double cardsSearch = bestSeconds([&] {
                                   find->setText(u"ca"_s);
                                   find->setText(u"cas"_s);
                                   find->setText(QString());
                               }) /
                               3;

    long journalSqlRows = 0, cardSqlRows = 0;
    const double journalSql =
        sqliteSeconds(databasePathFor(archive), MainView::Movimenti, environment.yearStart(),
                      environment.yearEnd(), &journalSqlRows);
    const double cardsSql =
        sqliteSeconds(databasePathFor(archive), MainView::Schede, environment.yearStart(),
                      environment.yearEnd(), &cardSqlRows);

    std::printf("fiscal year %s: %d journal rows, %d account-card lines\n",
                qPrintable(environment.yearLabel()), journalRows, cardLines);
    report("'Movimenti' reload (reloadView)", journal, 0.5);
    report("  reading its rows alone (own connection, no grid)", journalRowSet, 0.5);
    report("'Schede' rebuild with running balances (reloadView)", cards, 1.0);
    report("  reading its rows alone (own connection, no grid)", cardsRowSet, 1.0);
    report("'Schede' view switch (reload, natures opened)", cardsSwitch, 1.0);
    report("search keystroke, 'Movimenti' (mean)", journalSearch, 0.1);
    report("search keystroke, 'Schede' (mean)", cardsSearch, 0.1);
    std::printf("%-52s %8.1f MB  (target < 150 MB)\n", "memory added by loaded 'Movimenti'",
                heapJournal - heapIdle);
    std::printf("%-52s %8.1f MB  (target < 150 MB)\n", "memory added by loaded 'Schede'",
                heapCards - heapIdle);
    std::printf("%-52s %8.1f MB\n", "window with 'Mastri' loaded", heapIdle - heapBefore);
    std::printf(
        "SQLite alone, 'Movimenti' statement: %.3f s for %ld rows; reload / SQLite = %.2f\n",
        journalSql, journalSqlRows, journal / journalSql);
    std::printf(
        "SQLite alone, 'Schede' statement:    %.3f s for %ld rows; rebuild / SQLite = %.2f\n",
        cardsSql, cardSqlRows, cards / cardsSql);
    return 0;
}
