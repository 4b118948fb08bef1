// Times the dashboard on the synthetic archive (500,000 entries by default): its figures for a
// working date in the last year (cash and bank flagged on the synthetic chart's liquid accounts),
// after the check of the monthly totals the program makes when it opens the archive; then the
// whole page drawn offscreen, as the window and "report cruscotto" draw it.
//   bench_dashboard [entries]

#include "BenchSupport.h"
#include "dashboard/DashboardCharts.h"
#include "dashboard/DashboardFigures.h"
#include "data/MonthlyTotals.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions options = openSyntheticArchive(dir.path(), argc, argv);
    const Archive archive(dir.path());
    QString error;
    must(inTransaction(
             archive,
             [](const Connection &connection, QString *failure) {
                 QSqlQuery query = connection.query();
                 return runSql(query,
                               u"UPDATE conti SET liquidita = 1 WHERE prefisso LIKE 'A03%'"_s, {},
                               failure);
             },
             &error),
         error);
    const QDate date(options.firstYear + options.years - 1, 6, 30);
    std::printf("Dashboard at %s on %d entries\n", qPrintable(date.toString(Qt::ISODate)),
                options.entries);
    // The program checks the monthly totals once, when it opens the archive.
    timedStep("totals check", [&] {
        Connection connection(archive, Connection::Mode::ReadOnly);
        must(monthlyTotalsTrusted(connection.database()), u"monthly totals"_s);
    });
    std::optional<DashboardFigures> figures;
    const double read = timedStep("figures", [&] {
        Connection connection(archive, Connection::Mode::ReadOnly);
        figures = dashboardFigures(connection.database(), date, &error);
        must(figures.has_value(), error);
    });
    QByteArray png;
    const double draw = timedStep("page", [&] {
        png = pictureBytes(PictureFormat::Png, A4Landscape,
                           [&](QPainter &painter, const QRectF &page) {
                               paintDashboardPage(painter, page, *figures, u"Sintetica"_s);
                           });
    });
    std::printf("Figures %.3f s (goal 0.3 s), page drawn %.3f s, PNG %lld bytes\n", read, draw,
                qint64(png.size()));
    return 0;
}
